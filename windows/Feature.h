// The four repair features as the windows pass them on: an index chosen on
// the main window, and the product key the service files their solutions under.
#pragma once
#include <string>

namespace Windows {

// 0 "dll-fixer", 1 "ccleaner", 2 "reinstall", 3 "directx"; "" for any other index.
inline std::string ProductKey(int featureIndex) {
    static const char* const kKeys[] = {"dll-fixer", "ccleaner", "reinstall", "directx"};
    return featureIndex >= 0 && featureIndex < 4 ? kKeys[featureIndex] : "";
}

}  // namespace Windows
