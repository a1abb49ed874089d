# test-e2e: the whole launcher driven from its page in headless Chromium, against the loopback
# worlds of the outside services and the fake java (test/e2e). demo: the same run slowed down,
# leaving a picture of each step, the diagnostic run's output and an index.html in out/demo.
# Must be included after mk/mod.mk: the launcher carries the mod archive.
E2E_TESTS = $(sort $(wildcard test/e2e/*.test.js))
E2E_ENV = NODE_PATH=$(CURDIR)/test/support/modules NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem

.PHONY: test-e2e demo

test-e2e: node_modules/.package-lock.json $(NODE) $(MOD_JAR)
	$(call apt-need,chromium unzip)
	$(E2E_ENV) node --test $(E2E_TESTS)

demo: node_modules/.package-lock.json $(NODE) $(MOD_JAR)
	$(call apt-need,chromium unzip)
	@rm -rf out/demo
	$(E2E_ENV) QUORLIN_DEMO_DIR=$(CURDIR)/out/demo node --test $(E2E_TESTS)
	@echo "demo: out/demo/index.html"
