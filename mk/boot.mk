# The bootstrapper Quorlin.exe: cross-compiled with mingw-w64 through CMake (boot/CMakeLists.txt),
# carrying the launcher application packed by tools/pack.
#
#   QUORLIN_APP_DIR    folder packed as the carried application (default: app; needs main.js)
#   QUORLIN_CLIENT_ID  sign-in client id written into build-info.json (default: empty)
#   QUORLIN_API        update service base written into build-info.json
#   QUORLIN_UPDATE_KEY public key file (PEM) written into build-info.json as updateKey; update
#                      manifests are then used only when signed with its private key (default: none)
#   QUORLIN_RUNTIME_SHA256  SHA-256 (hexadecimal) the downloaded runtime archive must have
#                      (default: empty, only its stated length is checked); Quorlin.exe only
#
# build/boot-test/Quorlin.exe is the same program built to take the runtime address from the
# environment variable QUORLIN_TEST_RUNTIME_URL; build/boot-test/payload-NAME/Quorlin.exe is
# that test program carrying build/boot-test/payload-NAME.zip instead of the application.

QUORLIN_APP_DIR ?= app
QUORLIN_CLIENT_ID ?=
QUORLIN_API ?= https://updates.quorlin.invalid
QUORLIN_UPDATE_KEY ?=
QUORLIN_RUNTIME_SHA256 ?=

BOOT_HOST := build/boot/host
BOOT_PAYLOAD := build/boot/app.zip
BOOT_ICON := build/boot/quorlin.ico
BOOT_TOOLCHAIN := $(CURDIR)/boot/cmake/mingw-w64.cmake
BOOT_SOURCES := $(wildcard boot/*.cpp boot/*.h boot/*.in boot/CMakeLists.txt boot/cmake/*.cmake)
BOOT_HOST_SOURCES := $(BOOT_SOURCES) $(wildcard boot/tools/*.cpp boot/tests/*.cpp \
  tools/pack/*.cpp tools/pack/*.h tools/pack/tests/*.cpp)

boot-quote = '$(subst ','\'',$(1))'

.PHONY: test-boot bench-boot FORCE

# Host programs: packer and icon generator here; test-boot builds the tests beside them.
$(BOOT_HOST)/.built: $(BOOT_HOST_SOURCES)
	$(call apt-need,cmake g++ make libgtest-dev zlib1g-dev)
	cmake -S boot -B $(BOOT_HOST) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BOOT_HOST) -j2 --target quorlin_pack make_icon
	@touch $@

# The programs change only when their own sources do; their dependents follow their times.
$(BOOT_HOST)/quorlin_pack $(BOOT_HOST)/make_icon: $(BOOT_HOST)/.built ;

$(BOOT_ICON): $(BOOT_HOST)/make_icon
	$(BOOT_HOST)/make_icon $@

# $(call boot-values,STAMP,UPDATE_KEY_FILE) rewrites STAMP only when the build values, the update
# key's text or the list of application files change, so the archive is packed again exactly
# then (and when a file's content changes).
define boot-values
	@mkdir -p $(dir $(1))
	@{ printf '%s\n' $(call boot-quote,$(QUORLIN_CLIENT_ID)) $(call boot-quote,$(QUORLIN_API)) $(call boot-quote,$(QUORLIN_APP_DIR)); \
	   [ -z $(call boot-quote,$(2)) ] || cat $(call boot-quote,$(2)) 2>/dev/null; \
	   find $(QUORLIN_APP_DIR) 2>/dev/null | LC_ALL=C sort; } > $(1).new
	@cmp -s $(1).new $(1) && rm $(1).new || mv $(1).new $(1)
endef

# $(call boot-pack,APP_DIR,OUT,UPDATE_KEY_FILE) packs APP_DIR with the build values.
boot-pack = $(BOOT_HOST)/quorlin_pack --client-id $(call boot-quote,$(QUORLIN_CLIENT_ID)) \
  --update-api $(call boot-quote,$(QUORLIN_API)) $(if $(3),--update-key $(call boot-quote,$(3))) $(1) $(2)

build/boot/build-values: FORCE
	$(call boot-values,$@,$(QUORLIN_UPDATE_KEY))

# The same for the runtime's digest, which only the release executable is built with.
build/boot/runtime-sha256: FORCE
	@mkdir -p $(@D)
	@printf '%s\n' $(call boot-quote,$(QUORLIN_RUNTIME_SHA256)) > $@.new
	@cmp -s $@.new $@ && rm $@.new || mv $@.new $@

$(BOOT_PAYLOAD): $(BOOT_HOST)/quorlin_pack build/boot/build-values $(shell find $(QUORLIN_APP_DIR) -type f 2>/dev/null)
	$(call boot-pack,$(QUORLIN_APP_DIR),$@,$(QUORLIN_UPDATE_KEY))

# $(call boot-exe,BUILD_DIR,PAYLOAD,TEST_BUILD[,EXTRA CMAKE OPTIONS]) configures BUILD_DIR;
# the recipe then builds the target it needs there.
define boot-exe
	$(call apt-need,cmake mingw-w64)
	cmake -S boot -B $(1) -DCMAKE_TOOLCHAIN_FILE=$(BOOT_TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release \
	  -DQUORLIN_PAYLOAD=$(abspath $(2)) -DQUORLIN_ICON=$(abspath $(BOOT_ICON)) -DQUORLIN_TEST_BUILD=$(3) $(4) >/dev/null
endef

dist/Quorlin.exe: $(BOOT_SOURCES) $(BOOT_PAYLOAD) $(BOOT_ICON) build/boot/runtime-sha256
	$(call boot-exe,build/boot/release,$(BOOT_PAYLOAD),OFF,-DQUORLIN_RUNTIME_SHA256=$(call boot-quote,$(QUORLIN_RUNTIME_SHA256)))
	cmake --build build/boot/release -j2 --target Quorlin
	@mkdir -p $(@D)
	cp build/boot/release/Quorlin.exe $@

build/boot-test/Quorlin.exe: $(BOOT_SOURCES) $(BOOT_PAYLOAD) $(BOOT_ICON)
	$(call boot-exe,build/boot-test/main,$(BOOT_PAYLOAD),ON)
	cmake --build build/boot-test/main -j2 --target Quorlin
	cp build/boot-test/main/Quorlin.exe $@

build/boot-test/payload-%/Quorlin.exe: build/boot-test/payload-%.zip $(BOOT_SOURCES) $(BOOT_ICON)
	$(call boot-exe,build/boot-test/payload-$*/cmake,$<,ON)
	cmake --build build/boot-test/payload-$*/cmake -j2 --target Quorlin
	cp build/boot-test/payload-$*/cmake/Quorlin.exe $@

# The unit tests with the Windows layer's own tests, built for Windows; they run under Wine
# in test-wine (test-boot needs no Wine).
build/boot-test/boot_unit_tests.exe: $(BOOT_SOURCES) $(wildcard boot/tests/*.cpp) $(BOOT_PAYLOAD) $(BOOT_ICON)
	$(call apt-need,googletest)
	$(call boot-exe,build/boot-test/unit,$(BOOT_PAYLOAD),ON,-DQUORLIN_MINGW_THREADS=posix -DQUORLIN_UNIT_TESTS=ON)
	cmake --build build/boot-test/unit -j2 --target boot_unit_tests
	cp build/boot-test/unit/boot_unit_tests.exe $@

# The pack test and the checks of the built executables (boot/tests/exe_checks.sh) read
# archives and executables with the system's tools.
test-boot: $(BOOT_HOST)/.built dist/Quorlin.exe build/boot-test/Quorlin.exe
	$(call apt-need,icoutils unzip python3)
	cmake --build $(BOOT_HOST) -j2 --target boot_unit_tests
	$(BOOT_HOST)/boot_unit_tests --gtest_brief=1
	boot/tests/exe_checks.sh dist/Quorlin.exe build/boot-test/Quorlin.exe $(BOOT_PAYLOAD)
	@# The same application packed again from a fresh copy (new timestamps) gives the same bytes.
	@rm -rf build/boot/repack && mkdir -p build/boot/repack && cp -r $(QUORLIN_APP_DIR) build/boot/repack/app
	$(call boot-pack,build/boot/repack/app,build/boot/repack/app.zip,$(QUORLIN_UPDATE_KEY))
	cmp $(BOOT_PAYLOAD) build/boot/repack/app.zip
	@rm -rf build/boot/repack

# Prints the executable's size with and without the carried archive and its import list.
bench-boot: dist/Quorlin.exe
	bench/boot-size.sh dist/Quorlin.exe $(BOOT_PAYLOAD)
