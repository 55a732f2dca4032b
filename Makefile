# Hourlink: `make run` starts the program, `make test` runs every test.
# Both install what is missing and build first.
BUILD   ?= build
NATIVE  := $(BUILD)/native
WINDOWS := $(BUILD)/windows
BENCH   := $(BUILD)/bench
JOBS    ?= $(shell nproc)

.PHONY: all bootstrap native windows test run bench format clean fuzz

all: native windows

bootstrap:
	@scripts/bootstrap

native: bootstrap
	@cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

windows: bootstrap
	@cmake -S . -B $(WINDOWS) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake >/dev/null
	@cmake --build $(WINDOWS) -j $(JOBS)

test: native windows
	@scripts/test-all $(NATIVE) $(WINDOWS)

run: windows
	@scripts/run $(WINDOWS)

.PHONY: installer soak startup-bench online-bench simulate
# The setup program, $(WINDOWS)/installer/Hourlink-Setup-<version>.exe.
installer: windows
	@ls $(WINDOWS)/installer/Hourlink-Setup-*.exe

# Kills the running program SOAK_CYCLES times (default 50) and checks the records.
soak: windows
	@bash tests/e2e/crash_soak.sh $(WINDOWS)/bin/Hourlink.exe $(WINDOWS)/tests/wintool.exe \
	  $(WINDOWS)/e2e/soak $(BUILD)/screenshots

# The month simulation for DAYS days (365) from seed SEED (1) in time zone
# ZONE (CET with summer time), e.g. `make simulate DAYS=1000 SEED=7 ZONE=CST-8`.
DAYS ?= 365
SEED ?= 1
ZONE ?= CET-1CEST,M3.5.0,M10.5.0/3
simulate: native
	@$(NATIVE)/bin/hourlink-simulate $(DAYS) $(SEED) '$(ZONE)'

# Start-up time and memory under Wine against a bare window program (RUNS=N).
startup-bench: windows
	@bash bench/startup-bench.sh $(WINDOWS)

# What the program costs per one-second tick while online, in a LAN session of a
# network namespace (root): hidden in the tray and with the main window shown,
# against the offline floor (RUNS=N, BENCH_SECONDS=S; HOURLINK_EXE_BEFORE=path
# measures an older build in the same runs).
online-bench: windows
	@bash bench/online-bench.sh $(WINDOWS)

bench: bootstrap
	@cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DHOURLINK_SANITIZE=OFF \
	  -DHOURLINK_TESTS=OFF -DHOURLINK_BENCH=ON >/dev/null
	@cmake --build $(BENCH) -j $(JOBS)
	@$(BENCH)/bench/record_bench
	@$(BENCH)/bench/history_bench

# Every fuzz target (or those named in FUZZ_TARGETS, e.g. "icmp settings") for
# FUZZ_SECONDS each, one after the other (clang's libFuzzer, ASan, UBSan).
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
fuzz: native
	@fuzz/run $(NATIVE)/fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
