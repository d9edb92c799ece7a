# make run / make test do their own set-up on a fresh Debian 12 machine (as root).
BUILD   ?= build
JOBS    ?= 2
PACKAGES := qt6-base-dev qt6-webengine-dev qt6-pdf-dev qt6-tools-dev-tools libqt6svg6 libgl1-mesa-dri \
            cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev \
            media-types xvfb xauth poppler-utils fonts-noto-core fonts-dejavu-core libhivex-dev
BENCH_PACKAGES := libgmime-3.0-dev pkg-config
FUZZ_PACKAGES  := clang libclang-rt-14-dev

.PHONY: all setup build test run bench fuzz clean

all: build

# Installs only what is missing, so repeated runs stay quick.
define install_missing
	@missing=$$(for p in $(1); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  export DEBIAN_FRONTEND=noninteractive; \
	  apt-get -o DPkg::Lock::Timeout=300 update -q && \
	  apt-get -o DPkg::Lock::Timeout=300 install -y -q --no-install-recommends $$missing; \
	fi
endef

setup:
	$(call install_missing,$(PACKAGES))

build: setup
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	tools/build-lock cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/pellora samples/*; \
	else \
	  echo "No display: the viewer needs one. What pellora-cli reads from samples/:"; \
	  for f in samples/*; do \
	    kind=$$($(BUILD)/pellora-cli kind "$$f" | cut -f1); \
	    echo "== $$f (kind $$kind)"; \
	    case $$kind in 3) $(BUILD)/pellora-cli message "$$f" ;; 0|1|2) $(BUILD)/pellora-cli list "$$f" ;; esac || true; \
	  done; \
	fi

bench: setup
	$(call install_missing,$(BENCH_PACKAGES))
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake -S . -B $(BUILD) -DPELLORA_BENCH=ON
	tools/build-lock cmake --build $(BUILD) -j $(JOBS)
	bench/run $(BUILD)

fuzz: setup
	$(call install_missing,$(FUZZ_PACKAGES))
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLORA_FUZZ=ON -DPELLORA_UI=OFF
	tools/build-lock cmake --build $(BUILD)-fuzz -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-fuzz
