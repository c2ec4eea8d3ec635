# bash completion for velmora: commands, their options, the parameter
# keywords of --set (offered as KEYWORD=), buffer names, formats and codecs,
# and project files (*.vlm) where a project is expected.

_velmora_keywords="seed brightness complex coverrate min max wmin wmax noise wnoise center
  color0_red color0_green color0_blue color0_alpha color1_red color1_green color1_blue
  color1_alpha red_slope green_slope blue_slope alpha_slope wwx wwy cloud_position.x
  cloud_position.y warp_position1.x warp_position1.y warp_position2.x warp_position2.y
  blur_radius blur_number_of_ssample blur_curve oversampling blur_rotation.x
  blur_rotation.y blur_rotation.z resolution frames center_reverse
  clip_brightness blur_draftmode render_fromcurrentframe"

_velmora() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion -n = || return
  else
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD-1]}"
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  fi

  local commands="render params resave movie farm assemble settings brel thumbnail help"
  if ((cword == 1)); then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  local cmd="${words[1]}"

  # Without bash-completion, "--set=co" arrives split at "=" as "--set" "=" "co".
  if [[ "$prev" == = ]] && ((cword >= 3)); then prev="${words[cword-2]}"; fi

  # The value of the option just typed.
  case "$prev" in
    --set|--curve)
      compopt -o nospace 2>/dev/null
      COMPREPLY=($(compgen -S = -W "$_velmora_keywords" -- "$cur"))
      return ;;
    --key)
      compopt -o nospace 2>/dev/null
      COMPREPLY=($(compgen -S @ -W "$_velmora_keywords" -- "$cur"))
      return ;;
    --buffer)
      if [[ "$cmd" == movie || "$cmd" == farm ]]; then
        COMPREPLY=($(compgen -W "height normal" -- "$cur"))
        return
      fi
      COMPREPLY=($(compgen -W "base_pattern warp_template cloud filtered_cloud mixed_texture
        CloudPen PenShade WarpPenR WarpPenG WarpPenB height normal" -- "$cur"))
      return ;;
    --depth)
      COMPREPLY=($(compgen -W "8 16 float" -- "$cur"))
      return ;;
    --format)
      COMPREPLY=($(compgen -W "bmp png jpeg tiff exr" -- "$cur"))
      return ;;
    --texture-mix)
      COMPREPLY=($(compgen -W "add average subtract" -- "$cur"))
      return ;;
    --texture-layer)
      COMPREPLY=($(compgen -W "under over" -- "$cur"))
      return ;;
    --codec)
      COMPREPLY=($(compgen -W "list raw mjpeg ffv1 h264 mpeg4 hevc av1 vp9 prores png webp gif apng" -- "$cur"))
      return ;;
    -o|--output|--alpha|--texture|-e)
      [[ "$prev" == -e ]] && return
      COMPREPLY=($(compgen -f -- "$cur"))
      compopt -o filenames 2>/dev/null
      return ;;
    --work-dir)
      COMPREPLY=($(compgen -d -- "$cur"))
      compopt -o filenames 2>/dev/null
      return ;;
    --frame|--size|--oversampling|--seed|--max-work|--jpeg-quality|--threads|--from|--frames|\
    --quality|--keyframe|--bitrate|--chunks|--partition|--loop|--max-memory|--normal-strength)
      return ;;
  esac

  local opts=""
  local common="--set --key --curve --strict --threads --help"
  local avi="--codec --quality --keyframe --bitrate --loop"
  local texture="--texture --texture-mix --texture-layer"
  local depth="--depth --buffer --normal-strength"
  case "$cmd" in
    render) opts="-o --output --frame --buffer --size --oversampling --seed --max-work
                  --jpeg-quality --format --alpha-channel --depth --normal-strength --force $texture $common" ;;
    params) opts="--frame --list $common" ;;
    resave) opts="-o --output --strict --force --help" ;;
    movie) opts="-o --output --alpha --alpha-channel --from --from-current --frames --max-work --force $avi
                 $texture $depth $common" ;;
    farm) opts="-o --output --alpha --chunks --work-dir --from --from-current --partition
                --sbatch-arg= --no-wait $avi $texture $depth --help" ;;
    assemble) opts="-o --output --alpha --force --help" ;;
    settings) opts="--jpeg-quality --help" ;;
    brel) opts="--stack --max-memory -e --help" ;;
    thumbnail) opts="--help" ;;
    help)
      ((cword == 2)) && COMPREPLY=($(compgen -W "${commands% help} examples curves formats" -- "$cur"))
      return ;;
  esac

  if [[ "$cur" == --set=* || "$cur" == --key=* ]]; then
    local prefix="${cur%%=*}="
    compopt -o nospace 2>/dev/null
    COMPREPLY=($(compgen -P "$prefix" -S = -W "$_velmora_keywords" -- "${cur#*=}"))
    return
  fi
  if [[ "$cur" == -* ]]; then
    COMPREPLY=($(compgen -W "$opts" -- "$cur"))
    [[ "${COMPREPLY[*]}" == *= ]] && compopt -o nospace 2>/dev/null
    return
  fi
  # Positional arguments: projects (assemble: a work folder; brel: a program).
  case "$cmd" in
    assemble) COMPREPLY=($(compgen -d -- "$cur")) ;;
    brel) COMPREPLY=($(compgen -f -- "$cur")) ;;
    *) COMPREPLY=($(compgen -f -X '!*.vlm' -- "$cur") $(compgen -d -- "$cur")) ;;
  esac
  compopt -o filenames 2>/dev/null
}
complete -F _velmora velmora

# velmora-studio takes one project.
_velmora_studio() {
  local cur="${COMP_WORDS[COMP_CWORD]}"
  if [[ "$cur" == -* ]]; then
    COMPREPLY=($(compgen -W "--help --version" -- "$cur"))
    return
  fi
  COMPREPLY=($(compgen -f -X '!*.vlm' -- "$cur") $(compgen -d -- "$cur"))
  compopt -o filenames 2>/dev/null
}
complete -F _velmora_studio velmora-studio
