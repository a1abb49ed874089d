# test-wine: the bootstrapper run in a fresh 64-bit Wine prefix under Xvfb, against a
# loopback release host and Windows stand-ins for tar.exe, powershell.exe and the runtime.
# All of it lives under build/wine; screenshots land in build/wine/shots.

WINE_PKGS := wine wine64 xvfb xauth x11-apps imagemagick mingw-w64 unzip
WINE_SRC := boot/tests/wine
WINE_BIN := build/wine/bin
WINE_CXX := x86_64-w64-mingw32-g++ -std=c++17 -O2 -Wall -municode -static -s

WINE_STANDINS := $(addprefix $(WINE_BIN)/,tar.exe powershell.exe electron.exe findwin.exe addca.exe runenv.exe holdfile.exe \
  planted.exe planted.dll)
WINE_PAYLOADS := broken

.PHONY: test-wine wine-standins
wine-standins: $(WINE_STANDINS)

$(WINE_BIN)/.deps:
	$(call apt-need,$(WINE_PKGS))
	@mkdir -p $(@D) && touch $@

WINE_RECORD := $(WINE_SRC)/standins/record.cpp $(WINE_SRC)/standins/record.h
# The unpacking stand-ins unpack with the host's unzip, which Wine runs for them.
WINE_UNZIP := $(WINE_SRC)/standins/unzip.cpp $(WINE_SRC)/standins/unzip.h
$(WINE_BIN)/tar.exe $(WINE_BIN)/powershell.exe: $(WINE_BIN)/%.exe: $(WINE_SRC)/standins/%.cpp $(WINE_UNZIP) \
		$(WINE_RECORD) $(WINE_BIN)/.deps
	$(WINE_CXX) -o $@ $< $(filter %.cpp,$(WINE_RECORD) $(WINE_UNZIP))

$(WINE_BIN)/electron.exe: $(WINE_SRC)/standins/electron.cpp $(WINE_RECORD) $(WINE_BIN)/.deps
	$(WINE_CXX) -mwindows -o $@ $< $(filter %.cpp,$(WINE_RECORD)) -lshell32

$(WINE_BIN)/findwin.exe: $(WINE_SRC)/standins/findwin.cpp $(WINE_RECORD) $(WINE_BIN)/.deps
	$(WINE_CXX) -o $@ $< $(filter %.cpp,$(WINE_RECORD))

# The same recorder as a program and as a library, planted beside the bootstrapper.
$(WINE_BIN)/planted.exe: $(WINE_SRC)/standins/planted.cpp $(WINE_RECORD) $(WINE_BIN)/.deps
	$(WINE_CXX) -o $@ $< $(filter %.cpp,$(WINE_RECORD))

$(WINE_BIN)/planted.dll: $(WINE_SRC)/standins/planted.cpp $(WINE_RECORD) $(WINE_BIN)/.deps
	$(WINE_CXX) -shared -DPLANTED_DLL -o $@ $< $(filter %.cpp,$(WINE_RECORD))

$(WINE_BIN)/addca.exe: $(WINE_SRC)/standins/addca.cpp $(WINE_BIN)/.deps
	$(WINE_CXX) -o $@ $< -lcrypt32

$(WINE_BIN)/runenv.exe $(WINE_BIN)/holdfile.exe: $(WINE_BIN)/%.exe: $(WINE_SRC)/standins/%.cpp $(WINE_BIN)/.deps
	$(WINE_CXX) -o $@ $<

# A carried application archive whose main.js is damaged: neither unpacker may accept it.
build/boot-test/payload-broken.zip: $(NODE) test/support/zip.js $(WINE_SRC)/lib/fixtures.js $(WINE_SRC)/lib/wine.js
	@mkdir -p $(@D)
	node $(WINE_SRC)/lib/fixtures.js broken-app $@

# The test program built with the digest of the stand-in runtime archive (QUORLIN_RUNTIME_SHA256).
build/boot-test/runtime.sha256: $(NODE) test/support/zip.js $(WINE_SRC)/lib/fixtures.js $(WINE_SRC)/lib/wine.js \
		$(WINE_BIN)/electron.exe
	@mkdir -p $(@D)
	node $(WINE_SRC)/lib/fixtures.js runtime-sha256 > $@

build/boot-test/runtime-sha256/Quorlin.exe: build/boot-test/runtime.sha256 $(BOOT_SOURCES) $(BOOT_PAYLOAD) $(BOOT_ICON)
	$(call boot-exe,build/boot-test/runtime-sha256/cmake,$(BOOT_PAYLOAD),ON,-DQUORLIN_RUNTIME_SHA256=$$(cat $<))
	cmake --build build/boot-test/runtime-sha256/cmake -j2 --target Quorlin
	cp build/boot-test/runtime-sha256/cmake/Quorlin.exe $@

# A fresh prefix for every run, shared by all the cases of the run.
test-wine: build/boot-test/Quorlin.exe $(foreach p,$(WINE_PAYLOADS),build/boot-test/payload-$(p)/Quorlin.exe) \
		build/boot-test/runtime-sha256/Quorlin.exe \
		build/boot-test/boot_unit_tests.exe $(WINE_STANDINS) $(NODE) $(WIN_NODE)
	$(call apt-need,$(WINE_PKGS))
	@mkdir -p build/wine
	@# One run at a time: a second one would replace the prefix under the first.
	flock build/wine/.lock sh -c 'node $(WINE_SRC)/lib/prefix.js && node --test --test-concurrency=1 $(WINE_SRC)/*.test.js test/wine/*.test.js'
