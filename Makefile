# Thin wrapper: installs what is missing, builds with CMake, runs or tests.
BUILD ?= build
JOBS  ?= $(shell nproc)
PKGS  = cmake g++ make pkg-config qt6-base-dev libgl-dev libjpeg62-turbo-dev libgtest-dev \
        xvfb xauth xfonts-base xdotool x11-utils imagemagick fonts-ipafont-gothic python3 \
        qt6-translations-l10n xclip libsm-dev openbox

# The fuzz targets and the sanitized build need clang and its runtimes; only "make fuzz",
# "make sanitize" (and so "make test") ask.
FUZZ_PKGS = clang libclang-rt-14-dev
FUZZ_BUILD ?= build-fuzz
# Every program and test again with AddressSanitizer and UBSan.
SAN_BUILD ?= build-asan
FUZZ_SECONDS ?= 60
# Kills of a save in a child process at random moments (CI's own test run makes twenty).
FUZZ_KILLS ?= 300

.PHONY: run test build deps clean fuzz fuzz-build sanitize sanitize-build

run: build
	$(BUILD)/bin/atlas

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) sanitize
	$(MAKE) fuzz-build
	bash fuzz/run.sh $(FUZZ_BUILD) 10

# Any sanitizer report, of a test or of a program a test started, fails the run and is printed.
sanitize: sanitize-build
	bash tests/sanitize/run.sh $(SAN_BUILD) $(JOBS)

sanitize-build:
	$(MAKE) deps EXTRA_PKGS="$(FUZZ_PKGS)"
	CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) -DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g"
	cmake --build $(SAN_BUILD) -j $(JOBS)

fuzz: build fuzz-build
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)
	MAP_SAVE_KILLS=$(FUZZ_KILLS) QT_QPA_PLATFORM=offscreen $(BUILD)/bin/atlas_tests --gtest_filter='*KilledAtRandom*'
	MAP_WALK_SEEDS=200 QT_QPA_PLATFORM=offscreen $(BUILD)/bin/atlas_tests --gtest_filter='MapEditingWalk*'

fuzz-build:
	$(MAKE) deps EXTRA_PKGS="$(FUZZ_PKGS)"
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DFUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@missing=""; for p in $(PKGS) $(EXTRA_PKGS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing Debian packages:$$missing"; \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo=sudo; \
	  $$sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing; \
	fi

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(SAN_BUILD)
