// The printers the user chose: their queued jobs, their per-printer registry data, the printer or the
// connection itself, its USB device nodes; a new default printer when the default one went.
#pragma once

#include "removal/removal_context.h"

void RemovePrinters(CRemovalContext& context);
// Makes a printer the default (name, or the first installed one, copied back into name when given);
// 1 when it was marked as default.
int SetDefaultPrinter(CRemovalContext& context, char* name);
// Removes the device nodes of a printer: the node whose hardware ID begins with hardwareId and its USB
// parent (or the USB node and its USBPRINT child), else the node of "USB\VID_vvvv&PID_pppp". With a
// context, each node removed goes to its log.
void RemoveUsbDevice(const char* hardwareId, int vendorId, int productId, const CRemovalContext* context = nullptr);
// Whether a device's hardware ID is the one a script names (its first targetLength characters): the same
// ID, or one that the script's ID begins as far as a "\" or "&" and past the ID's class part.
bool MatchesHardwareId(const char* id, const char* target, size_t targetLength);
