# test-ui: the launcher page in headless Chromium from Debian's `chromium` package, driven by
# the development package playwright-core (the only npm package; the app ships none; mk/node.mk
# installs it). Screenshots of the views land in build/ui-shots. bench-ui prints the console
# flood figures.
UI_TESTS = $(sort $(wildcard test/ui/*.test.js))

.PHONY: test-ui bench-ui

test-ui: node_modules/.package-lock.json $(NODE)
	$(call apt-need,chromium)
	node --test $(UI_TESTS)

bench-ui: node_modules/.package-lock.json $(NODE)
	$(call apt-need,chromium)
	node bench/ui-log.js
