#include "settings/SettingsFile.h"

namespace kestrine {

void ReadSettings(Context&) {}
bool WriteSettings(Context&, std::int32_t) { return true; }

} // namespace kestrine
