# Thin wrapper: installs what is missing, builds with CMake, runs or tests.
BUILD ?= build
JOBS  ?= $(shell nproc)
PKGS  = cmake g++ make pkg-config qt6-base-dev libgl-dev libjpeg62-turbo-dev libgtest-dev \
        xvfb xauth xfonts-base xdotool x11-utils imagemagick fonts-ipafont-gothic python3 \
        qt6-translations-l10n

.PHONY: run test build deps clean

run: build
	$(BUILD)/bin/atlas

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@missing=""; for p in $(PKGS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing Debian packages:$$missing"; \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo=sudo; \
	  $$sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing; \
	fi

clean:
	rm -rf $(BUILD)
