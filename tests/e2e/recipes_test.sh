#!/usr/bin/env bash
# The README's scale-out recipes, taken from its marked blocks and run as written on a copy of the
# example study, must write the VOIs of a plain run byte for byte and gather its report and its
# summary line. The Slurm recipe runs on a one-node cluster started here and stopped at the end.
# usage: recipes_test.sh parallel|slurm BIN_DIR README STUDY WORK_DIR
set -uo pipefail
recipe=$1 bin=$2 readme=$3 study=$4 work=$5
export PATH="$bin:$PATH:/usr/sbin:/sbin"
c=$work/cluster pids=()
skip() { echo "SKIPPED: $*"; exit 77; }
# A failure shows what the cluster was doing: nodes, tasks (each call bounded: without a
# controller one waits 9 s), the tasks' logs, and the daemons' logs without their stderr copies.
state() {
    for call in "sinfo -N" "squeue -a" "scontrol show job"; do echo "--- $call"; timeout 5 $call 2>&1; done
    for log in "$work/$folder"/parts/logs/*.log "$c"/log/*.log; do echo "--- $log"; grep -v '^slurm[ctld]*: ' "$log" | tail -n 15; done 2>&1
}
failed() { echo "FAILED: $*"; [ "$recipe" != slurm ] || state; exit 1; }

# The recipe's study folder is named with characters Slurm and the shell would expand.
folder='recipe %a\ $x'
rm -rf "$work" && mkdir -p "$work" && cp -R "$study" "$work/plain" && cp -R "$study" "$work/$folder" || exit 1
(cd "$work/plain" && vocelle run --report report.tsv jobs.txt >/dev/null 2>summary; echo $? >status)
script=$(awk -v mark="<!-- recipe: $recipe -->" '$0 == mark { on = 1; next }
    on && /^```/ { if (fence++) exit; next } on' "$readme")
[ -n "$script" ] || failed "README.md has no block marked <!-- recipe: $recipe -->"

if [ "$recipe" = slurm ]; then
    [ "$(id -u)" = 0 ] || skip "the one-node Slurm cluster needs root"
    for tool in munged slurmctld slurmd sbatch sinfo; do
        command -v $tool >/dev/null || skip "$tool is missing (scripts/setup.sh installs it)"
    done
    # Two ports below the ephemeral range, drawn at random: runs side by side (other builds, other
    # developers) must not meet, or one's clients talk to the other's daemons.
    port=$((20000 + RANDOM % 6000 * 2))
    for p in $port $((port + 1)); do (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null && skip "port $p is taken"; done
    # Stopped at the end, however it comes, and killed after 10 s.
    trap '{ kill "${pids[@]}"; for _ in $(seq 50); do kill -0 "${pids[@]}" || break; sleep 0.2; done
            kill -9 "${pids[@]}"; wait; } 2>/dev/null' EXIT
    # Until the condition holds, every daemon still running, within 30 s of the start.
    deadline=$((SECONDS + 30))
    await() {
        until "${@:2}"; do
            for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null || failed "$1: a daemon exited"; done
            [ "$SECONDS" -lt "$deadline" ] && sleep 0.2 || failed "$1 within 30 s"
        done
    }
    idle() { [ "$(timeout 5 sinfo -h -o %T 2>/dev/null)" = idle ]; }
    mkdir -p "$c"/{munge,state,spool,log} && chmod 0755 "$c/munge" && head -c 1024 /dev/urandom >"$c/munge/key"
    chmod 0600 "$c/munge/key"
    munged -F --key-file="$c/munge/key" --socket="$c/munge/socket" --pid-file="$c/munge/pid" \
        --seed-file="$c/munge/seed" --log-file="$c/log/munged.log" >>"$c/log/munged.log" 2>&1 & pids+=($!)
    node=$(hostname -s)
    # The cluster's settings, with its folder, node and ports filled in.
    sed -e "s|@cluster@|$c|g; s|@node@|$node|g; s|@port@|$port|; s|@nextport@|$((port + 1))|" \
        -e "s|@cpus@|$(nproc)|" "$(dirname "$0")/../data/recipes/slurm.conf" >"$c/slurm.conf"
    export SLURM_CONF=$c/slurm.conf
    await "munged did not come up" test -S "$c/munge/socket"
    slurmctld -D -f "$SLURM_CONF" >>"$c/log/slurmctld.log" 2>&1 & pids+=($!)
    slurmd -D -f "$SLURM_CONF" >>"$c/log/slurmd.log" 2>&1 & pids+=($!)
    await "the cluster did not come up" idle
fi

# With the start (30 s), a failure's report (15 s) and the stop (10 s) well inside CTest's 120 s.
limit=50
(cd "$work/$folder" && timeout $limit bash -c "$script") >"$work/recipe.out" 2>&1
status=$?
[ $status = 124 ] && failed "the recipe did not end within $limit s: $(cat "$work/recipe.out")"
cat "$work/recipe.out"
cd "$work" || exit 1
vois=$(cd plain && find . -name '*.voi' | sort)
[ "$(echo "$vois" | wc -w)" = 2 ] || failed "the plain run wrote $vois"
[ "$(cd "$folder" && find . -name '*.voi' | sort)" = "$vois" ] || failed "the recipe wrote other VOI files"
for voi in $vois; do cmp "plain/$voi" "$folder/$voi" || failed "$voi differs"; done
cmp plain/report.tsv "$folder/report.tsv" || failed "the gathered report differs from the plain run's"
[ "$(tail -n 1 recipe.out) $status" = "$(tail -n 1 plain/summary) $(cat plain/status)" ] ||
    failed "gather's summary or exit status is not the plain run's"
grep -qx 'vocelle: jobs.txt holds 3 jobs: 3 lists instead of 4' recipe.out && [ ! -e "$folder/parts/jobs.4.txt" ] ||
    failed "split wrote an empty part, or did not say it wrote fewer"

# One split per folder, replaced whole if asked; a report copied from another part is run again.
cd "$folder" || exit 1
vocelle split jobs.txt 2 -o parts 2>/dev/null && failed "a second split into the folder was not refused"
cp parts/jobs.1.tsv parts/jobs.2.tsv && vocelle gather parts -o again.tsv >gathered 2>&1
[ $? = 2 ] && [ ! -e again.tsv ] && grep -qx 'parts to run again: 2,3' gathered && grep -qxF "vocelle: parts/jobs.2.tsv row 1 is \
./s1/run1.roi (./s1/run1_TAL_.voi), but job 1 of parts/jobs.2.txt is ./s1/run1.roi (./s1/run1_ACPC_.voi)" gathered ||
    failed "gather summed another part's report, or did not say which row differs"
said=$(vocelle split jobs.txt 2 -o parts --replace 2>&1 >/dev/null) && [ -z "$said$(ls parts/*.tsv parts/jobs.3.txt 2>/dev/null)" ] ||
    failed "--replace left files of the split it replaced, or split said more than its parts: $said"
cd .. && [[ $(vocelle split "$folder/jobs.txt" 2 -o elsewhere 2>&1 >/dev/null) == *"is not found from this folder"* ]] ||
    failed "split did not warn that the list's first job is not found from where it ran"
echo "PASSED: the $recipe recipe"
