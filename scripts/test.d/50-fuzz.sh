# The readers of the shipped data files under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer: 30 s per reader (CLACKERY_FUZZ_SECONDS to change it; scripts/fuzz.sh
# runs them for depth).
ensure_packages clang libclang-rt-14-dev
bash "$ROOT/fuzz/run.sh" "${CLACKERY_FUZZ_SECONDS:-30}" "$ROOT/build-fuzz"
