# Two entry points: `make run` (build, then a modest benchmark of the system temp
# directory) and `make test` (build, then every test).
BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
TMP_DIR ?= $(or $(TMPDIR),/tmp)

.PHONY: all build run test clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/quorlane -path "$(TMP_DIR)" -file 256 -cache 0

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
