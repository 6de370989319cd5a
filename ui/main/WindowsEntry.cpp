// The two entries of the window library; everything else in it stays hidden.

#include "ui/main/WindowsEntry.h"

#include "core/AppState.h"
#include "ui/main/WindowMode.h"

extern "C" {

__attribute__((visibility("default"))) int kestrine_run_windows(int argc, char** argv) {
    kestrine::AppState state;
    return kestrine::runWindowMode(argc, argv, state);
}

__attribute__((visibility("default"))) void kestrine_show_console_error(int argc, char** argv,
                                                                        const char* text) {
    kestrine::showConsoleError(argc, argv, text);
}
}
