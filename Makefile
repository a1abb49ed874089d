# Quorlin: `make` builds dist/Quorlin.exe, `make test` builds and runs every test.
# Each part of the project keeps its rules in mk/<part>.mk.

.PHONY: all test
all: dist/Quorlin.exe

include mk/deps.mk
include mk/node.mk
include mk/boot.mk
include mk/wine.mk
include mk/app.mk
include mk/ui.mk
include mk/mod.mk
include mk/demo.mk
include mk/release.mk

test: test-boot test-app test-ui test-e2e test-wine test-release
