// libisofs, loaded when a disc is first made: linked in, it and the ACL library it needs would cost every
// ckvd command their start-up, where a catalogue search takes a few milliseconds in all.
#pragma once

#include <stdint.h> // libisofs.h uses the fixed-width types without including them

#include <libisofs/libisofs.h>

#include <string>

// clang-format off
#define CKVD_LIBISOFS_FUNCTIONS(X) \
    X(iso_init) \
    X(iso_finish) \
    X(iso_set_local_charset) \
    X(iso_set_msgs_severities) \
    X(iso_error_to_msg) \
    X(iso_image_new) \
    X(iso_image_unref) \
    X(iso_image_get_root) \
    X(iso_image_set_application_id) \
    X(iso_tree_set_follow_symlinks) \
    X(iso_tree_add_new_dir) \
    X(iso_tree_add_new_node) \
    X(iso_node_set_sort_weight) \
    X(iso_write_opts_new) \
    X(iso_write_opts_free) \
    X(iso_write_opts_set_iso_level) \
    X(iso_write_opts_set_rockridge) \
    X(iso_write_opts_set_joliet) \
    X(iso_write_opts_set_sort_files) \
    X(iso_write_opts_set_omit_version_numbers) \
    X(iso_image_create_burn_source) \
    X(iso_memory_stream_new) \
    X(iso_stream_unref) \
    X(iso_image_add_new_file) \
    X(iso_data_source_new_from_file) \
    X(iso_data_source_unref) \
    X(iso_read_opts_new) \
    X(iso_read_opts_free) \
    X(iso_image_import) \
    X(iso_tree_path_to_node) \
    X(iso_node_get_type) \
    X(iso_file_get_old_image_sections)
// clang-format on

struct LibIsofs {
#define CKVD_LIBISOFS_MEMBER(name) decltype(&::name) name = nullptr;
    CKVD_LIBISOFS_FUNCTIONS(CKVD_LIBISOFS_MEMBER)
#undef CKVD_LIBISOFS_MEMBER
};

// The loaded library, or null with `error` saying what is missing. Loaded once for the process.
const LibIsofs* LibIsofs_Load(std::string& error);
// A libisofs failure code in libisofs's words.
std::string LibIsofs_Why(const LibIsofs& isofs, int code);
