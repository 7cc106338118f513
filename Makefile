# The two set-up commands of the README. Both install what is missing first.
JOBS ?= $(shell nproc)

.PHONY: run test deps build build-asan test-asan test-tsan fuzz bench package clean check-consumer

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	@bash scripts/run.sh

test: build
	@ctest --preset default -j $(JOBS)

# The installed AniGif package, used by a project of its own (tests/consumer).
check-consumer: build
	@bash scripts/check-consumer.sh

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

test-asan: build-asan
	@LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp ctest --preset asan -j $(JOBS)

# The decode and render tests (labelled "threads") under ThreadSanitizer, with the pool's passes
# on real threads.
test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS) --target decode_tests draw_kernels_tests render_tests
	@TSAN_OPTIONS="suppressions=$(CURDIR)/scripts/tsan.supp halt_on_error=1" \
	  ctest --preset tsan -j $(JOBS) -L threads

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@bash scripts/run-fuzzers.sh $(or $(FUZZ_SECONDS),60)

bench: build
	@bash scripts/run-benchmarks.sh

# Release binaries in build-package/, the Debian packages (one per component) in build/packages/.
package: deps
	@cmake --preset package >/dev/null
	@cmake --build --preset package -j $(JOBS)
	@cd build-package && cpack -G DEB -B $(CURDIR)/build-package/cpack
	@rm -rf build/packages && mkdir -p build/packages
	@cp build-package/cpack/*.deb build/packages/
	@ls -l build/packages

clean:
	rm -rf build build-asan build-tsan build-fuzz build-package
