#pragma once

// The program's title: the main window's caption and the information box's caption.
inline constexpr char ProgramTitle[] =
    "Zorv/Pellik PC/SC Series Smart Card Reader Testing Program v4.0";
