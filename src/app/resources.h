#pragma once
// Resource ids shared by quillmere.rc and the code. Plain macros: the resource compiler reads
// this file too.

// The lowest icon id is the one Explorer shows for the exe file.
#define QUILLMERE_ICON 1
