# The Brimlox mod archive that the launcher carries (app/assets/brimlox-1.0.0.jar): the Java
# sources under mod/src compiled for release 17 (Debian's JDK; any Java 21 or newer runs it)
# against compile-time declarations of the loader's entry points under mod/stubs, which are not
# packed, then packed by the launcher packer's archive writer: sorted entries, one fixed time.
# Must be included after mk/boot.mk, whose payload carries the archive.

MOD_JAR := app/assets/brimlox-1.0.0.jar
MOD_BUILD := build/mod
MOD_SOURCES := $(shell find mod/src -name '*.java' | LC_ALL=C sort)
MOD_STUBS := $(shell find mod/stubs -name '*.java' | LC_ALL=C sort)
MOD_PACKER := $(MOD_BUILD)/make_jar

.PHONY: test-mod

# $(call mod-compile,DIR) — recipe lines that put the archive's content into DIR (the entry
# point declarations go to DIR-stubs)
define mod-compile
	$(call apt-need,openjdk-17-jdk-headless)
	@rm -rf $(1) $(1)-stubs
	javac --release 17 -encoding UTF-8 -d $(1)-stubs $(MOD_STUBS)
	javac --release 17 -encoding UTF-8 -implicit:none -cp $(1)-stubs -d $(1) $(MOD_SOURCES)
	cp mod/fabric.mod.json $(1)/
endef

$(MOD_PACKER): mod/tools/make_jar.cpp tools/pack/zip_writer.cpp tools/pack/zip_writer.h boot/le_bytes.h
	$(call apt-need,g++ zlib1g-dev)
	@mkdir -p $(@D)
	g++ -std=c++17 -O2 -Itools/pack -Iboot -o $@ mod/tools/make_jar.cpp tools/pack/zip_writer.cpp -lz

$(MOD_BUILD)/classes.built: $(MOD_SOURCES) $(MOD_STUBS) mod/fabric.mod.json
	$(call mod-compile,$(MOD_BUILD)/classes)
	@touch $@

$(MOD_JAR): $(MOD_BUILD)/classes.built $(MOD_PACKER)
	$(MOD_PACKER) $(MOD_BUILD)/classes $@.part
	mv $@.part $@

# The launcher's payload carries the archive; its file list is taken once the archive exists.
$(BOOT_PAYLOAD) build/boot/build-values: $(MOD_JAR)
# test/app/mod-jar.test.js reads the archive and runs its entry points.
test-app: $(MOD_JAR)
test: test-mod

# Compiled and packed a second time from the sources, the archive is the same to the byte.
test-mod: $(MOD_JAR)
	$(call mod-compile,$(MOD_BUILD)/again)
	$(MOD_PACKER) $(MOD_BUILD)/again $(MOD_BUILD)/again.jar
	cmp $(MOD_JAR) $(MOD_BUILD)/again.jar
