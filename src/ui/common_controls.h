// The common controls, loaded on first need rather than at every start.
#pragma once

// Loads and initialises COMCTL32 the first time a window of the launcher
// needs it (the error dialog, the splash window): the side-by-side
// version 6 that the manifest asks for, or the system directory's copy,
// never a comctl32.dll planted beside the executable or in the current
// directory. Nothing is reported; without it the dialog still runs with the
// system's classic controls.
void ensure_common_controls();
