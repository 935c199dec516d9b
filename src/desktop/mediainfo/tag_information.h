// Tag Information on a file row: the analyzer chain from the file's kind, then the dialog of the analyzer
// that accepted it; a file no analyzer accepts gets the message.
#pragma once

#include <QDialog>
#include <memory>

#include "appmodel/message_sink.h"
#include "iso9660/iso_model.h"

constexpr const char* IDS_FORMAT_NOT_SUPPORTED = "This format isn't being supported.";

// Classifies the entry by its name unless its kind is settled, runs the analyzer chain and returns the
// information dialog to open, or nullptr after the message "This format isn't being supported.".
std::unique_ptr<QDialog> App_TagInfoDialog(FileEntry* entry, ckvd::ui::MessageSink& sink, QWidget* parent);
