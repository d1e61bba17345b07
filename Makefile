# The two commands of the README: `make demo` and `make test`. Each prepares
# the machine first (scripts/setup.sh is quick once everything is in place).
BUILD    := build
DEPS     := $(CURDIR)/$(BUILD)/deps/prefix
TOOLCHAIN := $(CURDIR)/cmake/mingw-w64-x86_64.cmake

.PHONY: all setup configure build test demo clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) \
	  -DMINGW_DEPS_PREFIX=$(DEPS) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j2

test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 300

demo: build
	@bash scripts/demo.sh

clean:
	rm -rf $(BUILD)
