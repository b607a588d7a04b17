# One fuzz target per parser or rule: tests/fuzz/<name>.cpp, its seeds in tests/fuzz/corpus/<name>,
# its dictionary (where it has one) in tests/fuzz/<name>.dict.
set(HIVORA_FUZZ_TARGETS reg_file ignore_file exclusion field_list install_list safe_name signed_reply update_plan gif_blocks markup path_rules)
