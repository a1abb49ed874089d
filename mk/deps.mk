# Installs the Debian packages a target needs, only those that are missing, so a fresh
# Debian 12 machine builds and tests with the two README commands alone.
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

# $(call apt-need,PKG...) — a recipe line that installs the missing ones of PKG...
define apt-need
@missing=""; for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
if [ -n "$$missing" ]; then echo "installing:$$missing"; \
  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing >/dev/null; fi
endef
