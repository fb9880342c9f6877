// Prints the libobs version a built module declares (its exported obs_module_ver, which OBS 32
// compares with its own before loading) beside the version of the libobs headers this probe is
// compiled against, the same headers the module's build used:
//   clackery_version_probe MODULE.so   ->   "module 0xMMmmpppp headers 0xMMmmpppp"
#include <obs-config.h>

#include <dlfcn.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>

int main(int argc, char **argv)
{
	if (argc != 2) {
		std::fprintf(stderr, "usage: %s MODULE.so\n", argv[0]);
		return 2;
	}
	// Lazy and local: the module's own start-up code needs no running OBS for this.
	void *module = dlopen(argv[1], RTLD_LAZY | RTLD_LOCAL);
	if (module == nullptr) {
		std::fprintf(stderr, "dlopen: %s\n", dlerror());
		return 1;
	}
	using VersionFunction = uint32_t (*)();
	auto version = reinterpret_cast<VersionFunction>(dlsym(module, "obs_module_ver"));
	if (version == nullptr) {
		std::fprintf(stderr, "the module exports no obs_module_ver\n");
		return 1;
	}
	std::printf("module 0x%08" PRIx32 " headers 0x%08" PRIx32 "\n", version(),
		    static_cast<uint32_t>(LIBOBS_API_VER));
	return 0;
}
