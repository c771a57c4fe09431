// The images a resource script names: .bmp and .ico files, and the bitmap and icon-directory data that
// windres -O rc writes as numeric types. Each decoder throws MachineError starting with what (the place
// and the file) when the bytes are not what they should be.
#pragma once

#include <string>

#include "simwin/resource_set.h"

namespace simwin::rc {

// A .bmp file: size, colour depth and pixels.
void decodeBmpFile(const std::string& data, const std::string& what, BitmapResource& out);

// A BITMAP resource's bytes (RT_BITMAP, 2): a device-independent bitmap without the file header.
void decodeDibResource(const std::string& data, const std::string& what, BitmapResource& out);

// The .ico directory: the size and colour depth of every image, each image checked to lie in the file.
void decodeIcoFile(const std::string& data, const std::string& what, IconResource& out);

// The RT_GROUP_ICON directory (14) that the resource compiler makes of an .ico file.
void decodeGroupIcon(const std::string& data, const std::string& what, IconResource& out);

}  // namespace simwin::rc
