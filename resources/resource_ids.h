/* Identifiers of the stored files among the executable's resources (shared by the .rc and C++). */
#pragma once

#define IDI_TRIGORA 1          /* the application icon */
#define IDR_ICON_FILE 1        /* RCDATA: the stored icon file, for the tray */
#define IDR_DESCRIPTION 2      /* RCDATA: the description text, GBK */
#define IDR_ENGINE 3           /* RCDATA: the skin engine library */
#define IDR_SKIN_FIRST 100     /* RCDATA: the 29 stored skin files, 100 to 128, catalogue order */
#define IDR_SKIN_EMPTY 129     /* RCDATA: the empty block stored after them */
