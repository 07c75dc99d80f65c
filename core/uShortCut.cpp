#include "uShortCut.h"

bool TQShortCut::ProgramExists() const { return false; }
void TQShortCut::CaptureIcon() {}
