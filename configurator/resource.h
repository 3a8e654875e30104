// Resource numbers shared by the program's resource script and its code.
#pragma once

#define IDI_KONFIGURATOR 1
