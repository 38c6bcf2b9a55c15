// Opacity sources that are not built yet. Each is a routine of the fixed source order of kapp that
// writes nothing, so a switched-on source contributes exactly zero (kapp has already cleared its
// arrays). When a source is built, its declaration moves to its own header (opacity/hop.h, ...) and
// its empty definition leaves pending_sources.cpp; the linker rejects a source defined twice. kapp
// already calls it by its switch (ROUTINES in kapp.cpp), and the rows of kapp_rows name the arrays
// it may write: a new array is one new row there.
#pragma once

namespace atmotab {

struct Run;

void coolop(Run& run);  // COOL:    C I, Mg I, Al I, Si I, Fe I, H2 CIA, CH, OH -> AC1..SFE1, ACOOL
void lukeop(Run& run);  // LUKE:    intermediate metals -> ALUKE
void hotop(Run& run);   // HOT:     hot metals -> AHOT

}  // namespace atmotab
