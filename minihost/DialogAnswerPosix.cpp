#include "HostCallbacks.h"

ScopedDialogAnswer::ScopedDialogAnswer(int) {}
ScopedDialogAnswer::~ScopedDialogAnswer() {}
