# make run / make test do their own set-up on a fresh Debian 12 machine (as root).
BUILD   ?= build
JOBS    ?= 2
PACKAGES := qt6-base-dev qt6-webengine-dev qt6-pdf-dev qt6-tools-dev-tools libqt6svg6 libgl1-mesa-dri \
            cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev \
            media-types xvfb xauth poppler-utils fonts-noto-core fonts-dejavu-core libhivex-dev \
            scdoc dpkg-dev qt6-translations-l10n libqpdf-dev libcups2-dev fonts-ipafont-gothic fonts-wqy-microhei \
            zlib1g-dev libbz2-dev liblzma-dev libzstd-dev libpff-dev libolecf-dev libytnef0-dev
# What the package's checks need (.ci/run): validators, lintian, the desktop's type databases.
PACKAGE_CHECK_PACKAGES := lintian desktop-file-utils appstream xdg-utils shared-mime-info libglib2.0-bin
BENCH_PACKAGES := libgmime-3.0-dev pkg-config pff-tools python3
FUZZ_PACKAGES  := clang libclang-rt-14-dev

# Sanitizer reports end the process and fail its test.
SANITIZER_ENV := ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
                 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan-suppressions \
                 UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1

PREFIX  ?= /usr/local

.PHONY: all setup build test scaling sanitize run install package package-check bench fuzz fuzz-run clean

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

# Into PREFIX (under DESTDIR when given, for staging). Installed straight into the system, the
# desktop's file-type, menu and icon caches learn the new files.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)
	@if [ -z "$(DESTDIR)" ]; then \
	  ! command -v update-mime-database >/dev/null || update-mime-database $(PREFIX)/share/mime; \
	  ! command -v update-desktop-database >/dev/null || update-desktop-database -q $(PREFIX)/share/applications; \
	  ! command -v gtk-update-icon-cache >/dev/null || gtk-update-icon-cache -q -t $(PREFIX)/share/icons/hicolor || true; \
	fi

# The Debian package $(BUILD)/pellora_<version>_<arch>.deb, from the build as it is.
package: build
	rm -f $(BUILD)/pellora_*.deb
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/pellora_*.deb

# CI's checks of the package: the validators and lintian, then, as root, the package installed
# into this machine, its programs run, and the package removed again.
package-check: package
	$(call install_missing,$(PACKAGE_CHECK_PACKAGES))
	dist/check-package $(BUILD)

# The growth checks (label "scaling") time their work: they run on their own, one at a time.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE scaling

scaling: build
	cd $(BUILD) && ctest --output-on-failure -L scaling

# Core libraries, their tests and the command line with AddressSanitizer and UBSan, no Qt UI.
sanitize: setup
	@[ -f $(BUILD)-asan/build.ninja ] || cmake -S . -B $(BUILD)-asan -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLORA_UI=OFF -DPELLORA_SANITIZE=ON
	tools/build-lock cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) -LE scaling

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

# Every target from the kept seeds; any finding fails.
fuzz-run: fuzz
	fuzz/run $(BUILD)-fuzz

clean:
	rm -rf $(BUILD) $(BUILD)-fuzz $(BUILD)-asan
