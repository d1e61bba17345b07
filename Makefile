# The two commands of the README: `make demo` and `make test`. Each prepares
# the machine first (scripts/setup.sh is quick once everything is in place).
# `make fuzz FUZZ_SECONDS=600` runs each host-side fuzz target that long.
BUILD    := build
DEPS     := $(CURDIR)/$(BUILD)/deps/prefix
TOOLCHAIN := $(CURDIR)/cmake/mingw-w64-x86_64.cmake
# When make started: `make test` reports its whole wall time, set-up and build included.
STARTED  := $(shell date +%s)

.PHONY: all setup configure build test demo fuzz clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) \
	  -DMINGW_DEPS_PREFIX=$(DEPS) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j2

test: build
	@SUITE_STARTED=$(STARTED) bash scripts/run_tests.sh $(BUILD)

demo: build
	@bash scripts/demo.sh

FUZZ_SECONDS ?= 60
fuzz: setup
	@bash scripts/fuzz.sh --seconds $(FUZZ_SECONDS) --build-dir $(BUILD)/host

clean:
	rm -rf $(BUILD)

# The release: stripped, reproducible executables in build/release (with
# their .debug files); `make sign CERT=cert.pem KEY=key.pem` signs them, and
# `make sign ... FILES=MyGame-setup.exe` a packed setup.exe.
.PHONY: release sign
release: setup
	@bash scripts/release.sh $(BUILD)/release

# FILES= signs other files instead, such as a packed setup.exe (skintool pack).
FILES ?= $(BUILD)/release/setup.exe $(BUILD)/release/skintool.exe
sign:
	@test -n "$(CERT)" -a -n "$(KEY)" || { echo "usage: make sign CERT=cert.pem KEY=key.pem [FILES=packed.exe]"; exit 2; }
	@bash scripts/sign.sh "$(CERT)" "$(KEY)" $(FILES)

# Benchmarks: they measure and print (see docs/performance.md), never fail on a figure.
.PHONY: bench
bench: build
	@cd bench && python3 first_frame.py && python3 copy_speed.py && python3 copy_tree.py && python3 packed_form.py
