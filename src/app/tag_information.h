// Tag Information on a file row: the analyzer of the file's kind, then the dialog of what it found. Until
// every analyzer is built, MP3 and Windows Media files are analysed; any other file gets the message.
#pragma once

#include <QDialog>
#include <memory>

#include "iso9660/iso_model.h"
#include "platform/ui/message_sink.h"

constexpr const char* IDS_FORMAT_NOT_SUPPORTED = "This format isn't being supported.";

// Classifies the entry by its name where it is not yet, runs the analyzer of its kind and returns the
// information dialog to open, or nullptr after the message "This format isn't being supported.".
std::unique_ptr<QDialog> App_TagInfoDialog(FileEntry* entry, ckvd::ui::MessageSink& sink, QWidget* parent);
