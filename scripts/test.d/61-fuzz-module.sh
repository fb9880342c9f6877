# Settings load from arbitrary "config.json" bytes and the request dispatcher with arbitrary
# request data, under libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer: a clang
# build with libobs and Qt, 25 s per target (CLACKERY_FUZZ_SECONDS to change it).
ensure_packages clang libclang-rt-14-dev libobs-dev qtbase5-dev fonts-dejavu-core
bash "$ROOT/fuzz/run.sh" "${CLACKERY_FUZZ_SECONDS:-25}" "$ROOT/build-fuzz" module
