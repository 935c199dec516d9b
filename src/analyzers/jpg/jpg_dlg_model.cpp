#include "analyzers/jpg/jpg_dlg_model.h"

#include <string>

void CJpgDlgModel::OnInitDialog(uint16_t style) {
    Reset(style);
    const JpgInfo& j = m_info;
    const std::string format = j.jfif && j.exif ? "JFIF, Exif" : j.jfif ? "JFIF" : j.exif ? "Exif" : "";
    m_fields = {
        {"Format", format, {}, {}},
        {"Coding", Jpg_CodingName(j.frameMarker), {}, {}},
        {"Width", std::to_string(j.width), "pixels", {}},
        {"Height", std::to_string(j.height), "pixels", {}},
        {"Components", std::to_string(j.components), {}, {}},
        {"Precision", std::to_string(j.precision), "bits/sample", {}},
    };
}
