// Register fields declared as data. A `BitField` is some bits of one register; a `PortField`
// is the same field repeated for every chip port through a block of registers. The chip's
// layouts are declared once, with the register table (engine/registers.h); page tables
// (form.h) bind those fields to controls.
#pragma once

#include "engine/registers.h"
