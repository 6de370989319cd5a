#pragma once

#include "core/AppState.h"
#include "core/Host.h"
#include "platform/Platform.h"

namespace kestrine {

// What every core operation works with: the run's state, its host and the platform.
struct Context {
    AppState& state;
    Host& host;
    Platform& platform;
};

} // namespace kestrine
