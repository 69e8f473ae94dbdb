// config.ini's [camera] lines, as a person may write them: every line is either kept or ignored
// with a reason, never both and never lost; what is kept is a known control other than the zoom,
// once each; and a kept value's text reads back as the same value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/camera_section.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Lines "key=value" separated by newlines, as the profile functions would hand them over.
    std::vector<std::pair<std::string, std::string>> entries;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        const std::size_t equals = line.find('=');
        entries.emplace_back(
            std::string(line.substr(0, equals)),
            equals == std::string_view::npos ? "" : std::string(line.substr(equals + 1)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }

    const CameraSection section = CameraSectionFrom(entries);
    if (section.kept.size() + section.ignored.size() != entries.size()) std::abort();
    for (std::size_t i = 0; i < section.kept.size(); ++i) {
        const KeptSetting& kept = section.kept[i];
        if (!PictureControlByKey(kept.control.key) || IsZoom(kept.control)) std::abort();
        for (std::size_t j = 0; j < i; ++j)
            if (section.kept[j].control.key == kept.control.key) std::abort();
        const auto again = ParseKeptValue(KeptValueText(kept.value));
        if (!again || *again != kept.value) std::abort();
    }
    return 0;
}
