#!/usr/bin/env bash
# Writes the race-day soak's simulator scripts: RUNS runs in blocks of BLOCK runs, one
# script a block (the server is restarted between blocks), runs RUN-DELAY-MS apart. Every
# tenth run holds every key of the protocol, in four writes; the others are the usual
# short run (pilots, "Nova", "Alinhar", green, times, winner, lights off) in two writes.
# Each write starts with "@", so that writes arriving together still part at their items.
# After the runs named in SILENCES the server waits for the file DIR/caught-up-RUN, which
# the scenario makes once the overlay has shown everything sent so far, then falls silent
# for SILENCE-MS: the overlay works behind the server, by how much depends on the
# machine, and the silence must be one for the overlay. The last run
# has its own pilot name, so that it can be told apart on the screen, and leaves its times
# on the strip. A block ends once the file DIR/drained-BLOCK exists.
#   make-scripts.sh DIR RUNS BLOCK RUN-DELAY-MS SILENCE-MS SILENCES...
set -euo pipefail
dir=$1 runs=$2 block=$3 delay=$4 silence=$5
shift 5
mkdir -p "$dir"
awk -v dir="$dir" -v runs="$runs" -v block="$block" -v delay="$delay" -v silence="$silence" \
    -v silences="$*" '
function put(wait, text) { print wait " " text > file }
BEGIN {
  n = split(silences, s, " ")
  for (i = 1; i <= n; i++) quiet[s[i]] = 1
  for (run = 1; run <= runs; run++) {
    b = int((run - 1) / block) + 1
    file = sprintf("%s/block%d.txt", dir, b)
    if ((run - 1) % block == 0) {
      if (b > 1) close(sprintf("%s/block%d.txt", dir, b - 1))
      print "# race-day soak, block " b > file
      print "!wait-connection" > file
    }
    last = run == runs
    full = run % 10 == 0 || last
    writes = full ? 4 : 2
    step = int(delay / writes)
    first = ((run - 1) in quiet) ? silence : step
    if ((run - 1) in quiet) print "!wait-file " dir "/caught-up-" (run - 1) > file
    pilot = last ? "WWWWWWWW WWWWWWWW" : "Ana Souza"
    t = sprintf("%d.%03d", 6 + run % 3, run % 1000)
    pilots = sprintf("@Nova:@cod_pilotoA:102@num_pilotoA:%d@pilA:%s@apelidoA:A%d@catA:Turbo@BatA:%d@carA:Gol", \
                     run, pilot, run % 100, run % 9)
    pilots = pilots sprintf("@cod_pilotoB:103@num_pilotoB:%d@pilB:Bia Lima@apelidoB:B@catB:Turbo@BatB:1@carB:Uno", run + 1)
    times = sprintf("@RA:0.%03d@RB:0.%03d@TPA:%s@TPB:%s", run % 1000, (run * 7) % 1000, t, t)
    if (!full) {
      put(first, pilots "@Alinhar:")
      put(step, "@sA_Verde:@sB_Verde:" times "@GanhaA:@posA:1\\xBA@posB:2\\xBA@DesligouLampadas:")
    } else {
      put(first, pilots)
      put(step, "@mostraTempo:@Alinhar:@Largada:@APS-HIGH:@BPS-HIGH:@e_AA-HIGH:@e_BA-HIGH:@e_AB-HIGH:@e_BB-HIGH:@sA_Verde:@sB_Verde:")
      put(step, times sprintf("@statusA:@statusB:@PA:1.%03d@PB:1.%03d@CA:4.%03d@CB:4.%03d@VA:16%d.4@VB:15%d.9@FA:%s@FB:%s@posAntA:1@posAntB:2", \
                              run % 1000, run % 997, run % 991, run % 983, run % 10, run % 10, t, t))
      end_ = "@APS-LOW:@BPS-LOW:@e_AA-LOW:@e_BA-LOW:@e_AB-LOW:@e_BB-LOW:"
      if (last) end_ = end_ "@GanhaA:@posA:1\\xBA@posB:2\\xBA"
      else if (run % 20 == 0) end_ = end_ "@DesclassB:@GanhaA:@posA:1\\xBA@posB:2\\xBA@escondeTempo:@DesligouLampadas:"
      else end_ = end_ "@GanhaB:@DesclassA:@posA:2\\xBA@posB:1\\xBA@DesligouLampadas:"
      put(step, end_)
    }
    # A server that quits with bytes still unsent leaves them to the kernel, which drops
    # them (and resets the link) when the overlay is slow to take them: the scenario makes
    # DIR/drained-BLOCK once the overlay has read everything.
    if (run % block == 0 || last) {
      print "!wait-file " dir "/drained-" b > file
      print "500 !quit" > file
    }
  }
}'
