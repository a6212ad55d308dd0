#!/usr/bin/env bash
# Runs a test inside a throw-away PostgreSQL 15: throwaway-postgresql.sh <command> [args...].
# pg_virtualenv takes the first free port from 5432 on, so two test runs started at once on one
# machine (two build trees) can both take the same port and one of them fails. A port drawn
# from a wide range, skipping one that answers, keeps them apart; within one run ctest's
# resource lock starts one server at a time.
set -eu
for _ in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 30000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
done
PGPORT=$port exec pg_virtualenv -t -v 15 "$@"
