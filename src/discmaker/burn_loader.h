// libburn, loaded when a disc is first burned, as libisofs is when one is made: linked in, it would cost
// every ckvd command its start-up.
#pragma once

#include <libburn/libburn.h>

#include <string>

// clang-format off
#define CKVD_LIBBURN_FUNCTIONS(X) \
    X(burn_initialize) \
    X(burn_finish) \
    X(burn_msgs_set_severities) \
    X(burn_msgs_obtain) \
    X(burn_drive_scan_and_grab) \
    X(burn_drive_info_free) \
    X(burn_drive_release) \
    X(burn_drive_get_status) \
    X(burn_drive_set_speed) \
    X(burn_drive_wrote_well) \
    X(burn_drive_cancel) \
    X(burn_disc_get_status) \
    X(burn_disc_erasable) \
    X(burn_disc_erase) \
    X(burn_disc_create) \
    X(burn_disc_free) \
    X(burn_disc_add_session) \
    X(burn_disc_write) \
    X(burn_session_create) \
    X(burn_session_free) \
    X(burn_session_add_track) \
    X(burn_track_create) \
    X(burn_track_free) \
    X(burn_track_define_data) \
    X(burn_track_set_source) \
    X(burn_file_source_new) \
    X(burn_fifo_source_new) \
    X(burn_source_free) \
    X(burn_write_opts_new) \
    X(burn_write_opts_free) \
    X(burn_write_opts_set_perform_opc) \
    X(burn_write_opts_set_multi) \
    X(burn_write_opts_set_underrun_proof) \
    X(burn_write_opts_auto_write_type) \
    X(burn_disc_track_lba_nwa)
// clang-format on

struct LibBurn {
#define CKVD_LIBBURN_MEMBER(name) decltype(&burn::name) name = nullptr;
    CKVD_LIBBURN_FUNCTIONS(CKVD_LIBBURN_MEMBER)
#undef CKVD_LIBBURN_MEMBER
};

// The loaded library, or null with `error` saying what is missing. Loaded once for the process.
const LibBurn* LibBurn_Load(std::string& error);
