// Test support of the driver: returns the whole module to its load-time state
// between tests.
#pragma once

// Puts every module variable back to its initial value (texts empty, flags
// and codes at their load-time values, handles null without releasing the
// libraries they name), empties every entry-point variable and destroys the
// data module, so the next operation that needs it creates a fresh one.
void ZelResetModuleState();
