# The launcher application: its main-process tests under test/app run with node --test.
# `require('electron')` resolves to the stand-in in test/support/modules, and the loopback
# test servers are trusted through the committed test CA.
APP_TESTS = $(shell find test/app -name '*.test.js' 2>/dev/null | sort)

.PHONY: test-app bench-download bench-install
test-app: $(NODE)
	NODE_PATH=$(CURDIR)/test/support/modules NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem \
	  node --test $(APP_TESTS)

# Prints throughput and memory figures of a large download; not part of `make test`.
bench-download: $(NODE)
	NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem node bench/download.js

# Prints the game installation's cold and re-check figures; not part of `make test`.
bench-install: $(NODE)
	NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem node bench/install.js
