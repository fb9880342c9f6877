# The readers of the shipped data files under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer: one minute per reader (CLACKERY_FUZZ_SECONDS to change it).
ensure_packages clang libclang-rt-14-dev
bash "$ROOT/fuzz/run.sh" "${CLACKERY_FUZZ_SECONDS:-60}" "$ROOT/build-fuzz"
