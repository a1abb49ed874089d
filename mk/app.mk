# The launcher application: its main-process tests under test/app run with node --test.
# `require('electron')` resolves to the stand-in in test/support/modules, and the loopback
# test servers are trusted through the committed test CA.
APP_TESTS = $(shell find test/app -name '*.test.js' 2>/dev/null | sort)

.PHONY: test-app bench-download bench-install bench-play bench-backup
# The backup tests read their archives with Python's zipfile, the update tests with unzip.
test-app: $(NODE)
	$(call apt-need,python3 unzip)
	NODE_PATH=$(CURDIR)/test/support/modules NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem \
	  node --test $(APP_TESTS)

# Prints throughput and memory figures of a large download; not part of `make test`.
bench-download: $(NODE)
	NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem node bench/download.js

# Prints the game installation's cold, re-check and faulty-CDN figures; not part of `make test`.
bench-install: $(NODE)
	NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem node bench/install.js

# Prints the launcher's Play and start-up times on its real modules; not part of `make test`.
bench-play: $(NODE)
	NODE_PATH=$(CURDIR)/test/support/modules NODE_EXTRA_CA_CERTS=$(CURDIR)/test/ca/ca.pem node bench/play.js

# Prints a 1 GiB world backup's time and peak memory next to `cp -r` and `zip -r`; not part of `make test`.
bench-backup: $(NODE)
	$(call apt-need,zip time)
	node bench/backup.js
