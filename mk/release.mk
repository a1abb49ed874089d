# `make release`: what a maintainer uploads, written to QUORLIN_RELEASE_DIR:
#   Quorlin.exe         built with the public key of QUORLIN_SIGNING_KEY as its update key, and
#                       signed with Authenticode when QUORLIN_CODESIGN_CERT and _KEY are given
#   app-<version>.zip   the launcher package: the very archive Quorlin.exe carries
#   brimlox-<version>.jar  the mod archive
#   manifest.json       what the update service answers, signed by tools/release/manifest.js
#
#   QUORLIN_SIGNING_KEY    Ed25519 private key file (PEM) that signs the manifest; required
#   QUORLIN_RELEASE_URL    https address the package and the mod are uploaded under
#                          (default: QUORLIN_API/release)
#   QUORLIN_RELEASE_DIR    output folder (default: dist/release)
#   QUORLIN_CODESIGN_CERT  code-signing certificate file (PEM) followed by its intermediates
#   QUORLIN_CODESIGN_KEY   that certificate's private key file (PEM, not encrypted)
#   QUORLIN_CODESIGN_TIMESTAMP  RFC 3161 time-stamping service address (optional; without it the
#                          signature is no longer trusted once the certificate expires)
# The other build values (QUORLIN_API, QUORLIN_CLIENT_ID, QUORLIN_RUNTIME_SHA256) apply as for `make`.
# Must be included after mk/mod.mk.

QUORLIN_SIGNING_KEY ?=
QUORLIN_RELEASE_URL ?= $(QUORLIN_API)/release
QUORLIN_RELEASE_DIR ?= dist/release
QUORLIN_CODESIGN_CERT ?=
QUORLIN_CODESIGN_KEY ?=
QUORLIN_CODESIGN_TIMESTAMP ?=

RELEASE_BUILD := build/release
RELEASE_KEY := $(RELEASE_BUILD)/update-key.pem
RELEASE_PAYLOAD := $(RELEASE_BUILD)/app.zip

.PHONY: release test-release

# $(call release-codesign,CERT,KEY,IN,OUT) signs the executable IN as OUT (SHA-256).
define release-codesign
	$(call apt-need,osslsigncode)
	@rm -f $(4)
	osslsigncode sign -h sha256 -n Quorlin -certs $(call boot-quote,$(1)) -key $(call boot-quote,$(2)) \
	  $(if $(QUORLIN_CODESIGN_TIMESTAMP),-ts $(call boot-quote,$(QUORLIN_CODESIGN_TIMESTAMP))) -in $(3) -out $(4) >/dev/null
endef

# The public half of the signing key, rewritten only when it changes.
$(RELEASE_KEY): FORCE
	$(if $(QUORLIN_SIGNING_KEY),,$(error make release needs QUORLIN_SIGNING_KEY=<Ed25519 private key PEM file>; see "Publishing a release" in README.md))
	$(if $(QUORLIN_CODESIGN_CERT)$(QUORLIN_CODESIGN_KEY),$(if $(and $(QUORLIN_CODESIGN_CERT),$(QUORLIN_CODESIGN_KEY)),,$(error QUORLIN_CODESIGN_CERT and QUORLIN_CODESIGN_KEY go together)))
	$(call apt-need,openssl)
	@mkdir -p $(@D)
	openssl pkey -in $(call boot-quote,$(QUORLIN_SIGNING_KEY)) -pubout -out $@.new
	@openssl pkey -pubin -in $@.new -noout -text | grep -q '^ED25519 Public-Key' || { rm $@.new; \
	  echo "$(QUORLIN_SIGNING_KEY) is not an Ed25519 private key (openssl genpkey -algorithm ed25519)" >&2; exit 1; }
	@cmp -s $@.new $@ && rm $@.new || mv $@.new $@

$(RELEASE_BUILD)/build-values: FORCE $(RELEASE_KEY) $(MOD_JAR)
	$(call boot-values,$@,$(RELEASE_KEY))

$(RELEASE_PAYLOAD): $(BOOT_HOST)/quorlin_pack $(RELEASE_BUILD)/build-values $(shell find $(QUORLIN_APP_DIR) -type f 2>/dev/null)
	$(call boot-pack,$(QUORLIN_APP_DIR),$@,$(RELEASE_KEY))

$(RELEASE_BUILD)/Quorlin.exe: $(BOOT_SOURCES) $(RELEASE_PAYLOAD) $(BOOT_ICON) build/boot/runtime-sha256
	$(call boot-exe,$(RELEASE_BUILD)/cmake,$(RELEASE_PAYLOAD),OFF,-DQUORLIN_RUNTIME_SHA256=$(call boot-quote,$(QUORLIN_RUNTIME_SHA256)))
	cmake --build $(RELEASE_BUILD)/cmake -j2 --target Quorlin
	cp $(RELEASE_BUILD)/cmake/Quorlin.exe $@

RELEASE_OUT = $(call boot-quote,$(QUORLIN_RELEASE_DIR))

release: $(RELEASE_BUILD)/Quorlin.exe $(RELEASE_PAYLOAD) $(MOD_JAR) $(NODE)
	@mkdir -p $(RELEASE_OUT)
	@cd $(RELEASE_OUT) && rm -f Quorlin.exe manifest.json app-*.zip brimlox-*.jar
	$(if $(QUORLIN_CODESIGN_CERT),$(call release-codesign,$(QUORLIN_CODESIGN_CERT),$(QUORLIN_CODESIGN_KEY),$<,$(RELEASE_OUT)/Quorlin.exe),cp $< $(RELEASE_OUT)/Quorlin.exe)
	node tools/release/manifest.js --key $(call boot-quote,$(QUORLIN_SIGNING_KEY)) --url $(call boot-quote,$(QUORLIN_RELEASE_URL)) \
	  --app-dir $(QUORLIN_APP_DIR) --package $(RELEASE_PAYLOAD) --mod $(MOD_JAR) $(RELEASE_OUT)
	@ls -l $(RELEASE_OUT)

# The test program signed with a throwaway certificate chain, for the Wine case that runs it.
build/boot-test/signed/Quorlin.exe: build/boot-test/Quorlin.exe test/release/make-keys.sh
	$(call apt-need,openssl)
	test/release/make-keys.sh $(@D)/keys
	$(call release-codesign,$(@D)/keys/codesign.pem,$(@D)/keys/codesign.key,$<,$@)
test-wine: build/boot-test/signed/Quorlin.exe

# A release made with throwaway keys into a temporary folder, its signature checked, and a
# launcher of the previous version updating from it through a loopback update service.
test-release: $(NODE)
	$(call apt-need,openssl osslsigncode unzip)
	NODE_PATH=$(CURDIR)/test/support/modules NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem \
	  node --test test/release/*.test.js
