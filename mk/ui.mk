# test-ui: the launcher page in headless Chromium from Debian's `chromium` package, driven by
# the development package playwright-core (the only npm package; the app ships none).
# Screenshots of the views land in build/ui-shots. bench-ui prints the console flood figures.
UI_TESTS = $(sort $(wildcard test/ui/*.test.js))

.PHONY: test-ui bench-ui

# npm ci again whenever the lock file is newer than the installed tree
node_modules/.package-lock.json: package.json package-lock.json
	$(call apt-need,nodejs)
	$(if $(shell command -v npm),,$(call apt-need,npm))
	npm ci --no-audit --no-fund
	@touch $@

test-ui: node_modules/.package-lock.json
	$(call apt-need,chromium)
	node --test $(UI_TESTS)

bench-ui: node_modules/.package-lock.json
	$(call apt-need,chromium)
	node bench/ui-log.js
