# Sourced by the bench scripts that run qz4veld-cli on whole configuration files.
# A full table: rows 0..capacity-1 with a letter key and `length` characters.
make_table() {  # length capacity file
  local length=$1 capacity=$2 file=$3 keys=ABCDEFGHIJKLMNOPQRSTUVWXYZ
  {
    printf '#Quorvane QZ4VELDT configuration file\r\n#File written bench\r\n\r\n'
    printf 'String Length = %d\r\n\r\n' "$length"
    for r in $(seq 0 93); do
      if [ "$r" -lt "$capacity" ]; then
        string="$(printf '%s' "abcdefghij" | cut -c1-"$length")"
        printf '%02d\t%s\t%s\t\r\n' "$r" "${keys:$((r % 26)):1}" "$string"
      else
        printf '%02d\t\t\t\r\n' "$r"
      fi
    done
  } >"$file"
}
