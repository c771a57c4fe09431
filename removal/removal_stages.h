// The eighteen stages of a removal, in the order they run. The removal page walks them one per tick; the
// journal writes a stage's number when it begins, and a removal cut short goes on from its state's stage.
#pragma once

enum RemovalStage {
    STAGE_SELECT = 0,         // the printers chosen, what stays learned, the backup set made
    STAGE_PAVANE = 1,         // waiting for the Pavane utility to give up its printers
    STAGE_BEFORE_PRINTERS = 2,
    STAGE_PRINTERS = 3,       // the first stage that touches the machine
    STAGE_DRIVERS = 4,
    STAGE_MONITORS = 5,       // and the uninstall hooks
    STAGE_PROCESSORS = 6,
    STAGE_SERVICES = 7,
    STAGE_STOP_SPOOLER = 8,
    STAGE_OEM_PATHS = 9,
    STAGE_SHORTCUTS = 10,
    STAGE_EMPTY = 11,         // does nothing
    STAGE_INI = 12,
    STAGE_LOAD_RUN = 13,
    STAGE_FILES = 14,
    STAGE_REGISTRY = 15,
    STAGE_START_SPOOLER = 16,
    STAGE_END = 17,           // the end of the run: the summary, the restart question
    STAGE_COUNT = 18
};
