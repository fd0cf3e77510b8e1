#!/usr/bin/env bash
# tombolix-verify's proof that a line is in a list, on its command line, in Chinese by
# default and in English on request. The root and proofs are those of the list
# "E001 张三", "E002 李四", "E003 王五" (GBK), worked out with Python's hashlib.
set -u
verify=$1
root=6a497e5c3744c4f69aa2ee3328e74c569aeddf6be9a13a7c734b66e07a9ec155
proof2=3:3aa3795703f0ddd28766233e058fc494b2673996911fa6aeba65733bf7564a2ed5a7d504b2176f24f5a952af2571320f1b2258e59242a2db6fe990ee902ad3a5
proof3=3:96e635a5b258049b4f7cc494c48a6516598c3aa69e5757b06fff03df316444f2
failed=0

# Runs the verifier and compares its exit status and output.
expect() {
  local status=$1 want=$2
  shift 2
  local got
  got=$("$verify" "$@")
  local rc=$?
  if [[ $rc != "$status" || $got != "$want" ]]; then
    echo "FAIL: tombolix-verify $*"
    echo "  expected ($status): $want"
    echo "  got      ($rc): $got"
    failed=1
  fi
}

expect 0 "是: 这一行是名单的第2行 (名单共3行, 根值 6a497e5c3744c4f6)" \
  --proof "E002 李四" 2 "$proof2" "$root"
expect 0 "YES: this line is line 2 of the list (3 lines, root 6a497e5c3744c4f6)" \
  --english --proof "E002 李四" 2 "$proof2" "$root"
expect 0 "YES: this line is line 3 of the list (3 lines, root 6a497e5c3744c4f6)" \
  --proof "E003 王五" 3 "$proof3" "$root" --lang en
# Another name on the line, another line number, a list of another root.
expect 1 "否: 证明不成立, 这一行不是根值为6a497e5c3744c4f6的名单的第2行" \
  --proof "E002 李五" 2 "$proof2" "$root"
expect 1 "NO: the proof does not hold: this line is not line 1 of the list with root 6a497e5c3744c4f6" \
  --lang en --proof "E002 李四" 1 "$proof2" "$root"
expect 1 "否: 名单共3行, 没有第4行" --proof "E002 李四" 4 "$proof2" "$root"
expect 1 "否: 证明文本或根值的格式不对" --proof "E002 李四" 2 "${proof2}0" "$root"
expect 1 "NO: the proof text or the root is not well-formed" \
  --lang=en --proof "E002 李四" 2 "$proof2" "${root:1}"
expect 1 "否: 行号二不是正整数" --proof "E002 李四" 二 "$proof2" "$root"
exit $failed
