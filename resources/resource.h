// Resource identifiers shared by the .rc script and the code.
#pragma once

#define IDI_APP 1
#define IDR_SECTION_JPG 101
#define IDI_KEY 2
#define IDC_HAND_POINTER 3
#define IDR_CLOSE_JPG 102
#define IDR_MINIMISE_JPG 103
