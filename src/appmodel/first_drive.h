// Starting a drive without the dialog: the first image drive (with --image/--demo) or the first drive at
// start, and the drive of an image opened from the window.
#pragma once

#include <cstdint>

#include "appmodel/message_sink.h"

// Scans, picks the device and starts it as the drive dialog does (spin-up, ten readiness tests). Returns its
// index, or -1 after a failure whose message went to `sink` (or when there is no drive).
int App_StartFirstDrive(bool imageDrive, ckvd::ui::MessageSink& sink, bool waitBetweenTests = true);
// The same for the image drive at `target` of the image host adapter.
int App_StartImageDrive(int target, ckvd::ui::MessageSink& sink, bool waitBetweenTests = true);
