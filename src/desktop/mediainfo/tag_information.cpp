#include "desktop/mediainfo/tag_information.h"

#include "analyzers/tag_chain.h"
#include "desktop/mediainfo/cda_dlg.h"
#include "desktop/mediainfo/jpg_dlg.h"
#include "desktop/mediainfo/mp3_dlg.h"
#include "desktop/mediainfo/wav_dlg.h"
#include "desktop/mediainfo/wmf_dlg.h"

std::unique_ptr<QDialog> App_TagInfoDialog(FileEntry* entry, ckvd::ui::MessageSink& sink, QWidget* parent) {
    if (!entry || entry->type != 'F')
        return nullptr;
    switch (Tag_Analyze(entry)) {
    case TagAnalyzer::Cda:
        return std::make_unique<CCdaDlg>(entry, parent);
    case TagAnalyzer::Mp3:
        return std::make_unique<CMp3Dlg>(entry, parent);
    case TagAnalyzer::Wmf:
        return std::make_unique<CWmfDlg>(entry, parent);
    case TagAnalyzer::Wav:
        return std::make_unique<CWavDlg>(entry, parent);
    case TagAnalyzer::Jpg:
        return std::make_unique<CJpgDlg>(entry, parent);
    case TagAnalyzer::None:
        break;
    }
    sink.Show(IDS_FORMAT_NOT_SUPPORTED);
    return nullptr;
}
