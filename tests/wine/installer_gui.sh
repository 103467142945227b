#!/usr/bin/env bash
# Installer.exe end to end under Wine and Xvfb, driven by dialog-driver.exe
# from the same desktop: the pre-selections with and without a USB printer,
# the messages, a failed and a successful installation, the test page
# (captured as the PostScript Wine's driver makes of it), the USB port test's
# bytes, the port wizard (a stand-in printui.dll), the operating-system
# radio, and the dialog in English, Chinese and Traditional Chinese. Leaves a
# screenshot of each flow in SHOT-DIR.
#   installer_gui.sh i386|amd64 WIN-BUILD-DIR SHOT-DIR
set -uo pipefail
arch=$1 build=$(realpath "$2") shots=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_prefix.sh"
. "$here/xvfb.sh"
mkdir -p "$shots"


# One prefix per language, booted under that locale; every program of the
# prefix runs in one virtual desktop, so no window manager is needed.
start_language() {
  export WINE_LC_ALL=$1
  wine_prefix_start "$arch"
  trap 'wine_prefix_end; xvfb_stop' EXIT
  cd "$WINEPREFIX" || exit 1
  wrun reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wrun reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  mkdir -p "$drive_c/setup"
  cp "$build/installer/Installer.exe" "$drive_c/setup/"
  cp "$build/tests/wine/dialog-driver.exe" "$build/tests/wine/install-check.exe" "$drive_c/"
}
end_language() {
  wine_prefix_end
  trap 'xvfb_stop' EXIT
}
installer() { (WINEDLLOVERRIDES="mscoree,mshtml=;printui=n" wrun 'C:\setup\Installer.exe' >/dev/null 2>&1 &) ; }
drive() { wrun 'C:\dialog-driver.exe' "$@" 2>/dev/null | tr -d '\r'; }
stage_package() {
  mkdir -p "$drive_c/setup/$sub"
  for f in LORVEXRES.DLL LORVEX.DLL UNIDRV.DLL UNIDRVUI.DLL UNIRES.DLL; do echo "stand-in $f" > "$drive_c/setup/$sub/$f"; done
  for f in LORVEX.INI LORVEXC.INI LORVEXC.GPD MARLITC.INI MARLITC.GPD STDNAMES.GPD TTFSUB.GPD UNIDRV.HLP; do
    echo "stand-in $f" > "$drive_c/setup/$f"
  done
}
case "$arch" in amd64) sub=amd64 store_arch=amd64 ;; i386) sub=i386 store_arch=x86 ;; esac

xvfb_start
trap 'xvfb_stop' EXIT

# --- English -----------------------------------------------------------------
start_language C
# Wine's printui.dll does nothing for /p: ours stands in.
cp "$build/tests/wine/printui.dll" "$drive_c/windows/system32/printui.dll"

# No USB printer: "Other", no model, only slot 2 shown; the OS is Windows 7.
installer
out=$(drive state)
expect "$out" "caption=Install Configuration" "ctl=1009|1|1|Other" "ctl=1008|1|0|USB" \
  "ctl=1016|1|0|RVT-520" "ctl=1005|1|1|Windows 7" "ctl=1010|1|0|Set as Default Printer"
for id in 1014 1015 1017 1018 1019; do expect "$out" "ctl=$id|0|0|"; done
[ "$(grep -c '^ctl=100[1-7]|1|1|' <<<"$out")" -eq 1 ] || fail "one OS radio checked"
grep -q '^splash=0,0,1024,768|zoomed=1|title=RVT-520 Printer Driver Setup $' <<<"$out" ||
  fail "splash not maximised with its title: $(grep '^splash' <<<"$out")"
screenshot "$shots/en-no-usb.png"
# The splash is the blue backdrop: the corner far from the dialog.
corner=$(convert "$shots/en-no-usb.png" -crop 1x1+1000+740 -format '%[pixel:p{0,0}]' info: 2>/dev/null)
[ "$corner" = "srgb(0,100,160)" ] || fail "splash backdrop is $corner, not RGB(0,100,160)"
expect "$(drive post 1 box answer 1)" "box=Please select a printer series!" "boxcaption=POS printer driver setup"

# No package beside the program and none of Unidrv's generic files in
# Windows: 114 names the first one missing; nothing is installed and the
# dialog stays usable.
out=$(drive click 1016 post 1 box)
expect "$out" "box=UNIDRV.DLL was not found in the package or in Windows' own printer drivers.|Nothing was installed."
screenshot "$shots/en-generic-file-missing.png"
drive answer 1 >/dev/null
expect "$(check driver RVT-520)" "found=0"
expect "$(check queue RVT-520)" "opened=0"
expect "$(drive state)" "caption=Install Configuration"
# Windows' generic files (stand-ins in the driver store) but no package: 108
# with the code.
store="$drive_c/windows/system32/DriverStore/FileRepository/ntprint.inf_${store_arch}_0123456789abcdef"
mkdir -p "$store"
for f in unidrv.dll unidrvui.dll unires.dll stdnames.gpd ttfsub.gpd; do echo "stand-in $f" > "$store/$f"; done
out=$(drive post 1 box)
expect "$out" "box=Printer driver install failed, error code:0x705"
screenshot "$shots/en-install-failed.png"
drive answer 1 >/dev/null
rm -rf "$store"

# "Other": 111; No keeps the dialog, Yes starts the wizard on the ports tab
# and ends the program. The first install is made the default printer.
stage_package
expect "$(drive click 1010 post 1 box)" "box=Succeed !|Do you want to configure the printer port now?"
screenshot "$shots/en-other-installed.png"
drive answer 7 >/dev/null
expect "$(check default)" "default=RVT-520"
expect "$(check queue RVT-520)" "port=LPT1:"
expect "$(drive state)" "caption=Install Configuration"
rm -f "$drive_c/printui-standin.log"
expect "$(drive post 1 box answer 6 gone)" "gone=1"
for i in $(seq 1 100); do grep -q '^focus=' "$drive_c/printui-standin.log" 2>/dev/null && break; sleep 0.1; done
expect "$(tr -d '\r' < "$drive_c/printui-standin.log" 2>/dev/null)" 'command=/p /n "RVT-520(Copy 1)"' "focus=2"

# A USB printer whose description names the model: slot 2 and "USB".
out=$(check usb-add 'USB\VID_0416&PID_5011\SN0001' 1 "RVT-520 Thermal Receipt" SN0001)
path=$(sed -n 's/^path=\\\\?\\//p' <<<"$out")
device="$WINEPREFIX/usb-device.bin"
: > "$device"
ln -s "$device" "$WINEPREFIX/dosdevices/$path"
page="$WINEPREFIX/test-page.ps"
wrun reg add 'HKCU\Software\Wine\Printing\Spooler' /v USB001 /d "$page" /f >/dev/null 2>&1
installer
out=$(drive state)
expect "$out" "ctl=1016|1|1|RVT-520" "ctl=1008|1|1|USB" "ctl=1009|1|0|Other"
screenshot "$shots/en-usb-found.png"

# "Check USB Port": the box text and the feed-and-cut bytes reach the
# device, then 106 names the port. (Each open of the device file writes from
# its start, so the 24 bytes lie over the text's first 24.)
expect "$(drive post 3 box)" "box=Current printer port is:USB001"
screenshot "$shots/en-port-test.png"
drive answer 1 >/dev/null
printf '%s\r\n' '*************************' '*                       *' "* The current printer's *" \
  '*  USB port is          *' '*        USB001         *' '*                       *' '********************' \
  > port-test.txt
feed=$(head -c 24 "$device" | od -An -tx1 | tr -s ' \n' ' ')
[ "$feed" = " 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 0a 1d 56 01 00 " ] ||
  fail "feed and cut bytes: $feed"
cmp -s <(tail -c +25 "$device") <(tail -c +25 port-test.txt) ||
  fail "port test text: $(tail -c +25 "$device" | od -c | head -5)"
[ "$(stat -c %s "$device")" -eq "$(stat -c %s port-test.txt)" ] || fail "port test length"

# "Install Now" on USB: 107; Yes prints the test page through the queue and
# the dialog stays open for a further installation.
expect "$(drive post 1 box)" "box=Succeed !|Do you want to print a test page?"
drive answer 6 >/dev/null
for i in $(seq 1 100); do grep -q '%%EOF' "$page" 2>/dev/null && break; sleep 0.1; done
expect "$(grep -a '^%%Title:' "$page" | tr -d '\r')" "%%Title: RVT-520(Copy 2)"
grep -aq 'imagemask' "$page" || fail "the logo is not on the test page"
grep -aq '^%%Page: 1 1' "$page" || fail "the test page has no page"
expect "$(check queue 'RVT-520(Copy 2)')" "port=USB001"
# Wine draws the page upside down off the sheet without a page size: move it
# onto a 2.5 x 2 inch sheet to look at.
sed 's/^0 0 translate$/0 600 translate/' "$page" > "$WINEPREFIX/page-view.ps"
gs -q -dNOPAUSE -dBATCH -sDEVICE=pnggray -r200 -g500x400 -sOutputFile="$shots/en-test-page.png" \
  "$WINEPREFIX/page-view.ps" >/dev/null 2>&1 || fail "the captured test page does not render"
expect "$(drive state)" "caption=Install Configuration"
expect "$(drive post 1 box answer 7 state)" "caption=Install Configuration"
expect "$(check queue 'RVT-520(Copy 3)')" "opened=1" "port=USB001"
screenshot "$shots/en-after-test-page.png"
drive post 2 gone >/dev/null

# The operating-system radio from the version Wine reports.
os_radio() { installer; drive state post 2 gone | grep '^ctl=100[1-7]|1|1|' | cut -d'|' -f4; }
wrun winecfg /v win10 >/dev/null 2>&1
[ "$(os_radio)" = "Windows 10" ] || fail "win10 is not Windows 10"
wrun reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /d 22000 /f >/dev/null 2>&1
[ "$(os_radio)" = "Windows 10" ] || fail "build 22000 is not Windows 10"
wrun reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /d 22631 /f >/dev/null 2>&1
[ "$(os_radio)" = "Windows 11" ] || fail "build 22631 is not Windows 11"
wrun reg add 'HKLM\System\CurrentControlSet\Control\ProductOptions' /v ProductType /d ServerNT /f >/dev/null 2>&1
[ "$(os_radio)" = "Windows Server" ] || fail "a server is not Windows Server"
end_language

# --- Chinese and Traditional Chinese ----------------------------------------
for lang in zh_CN zh_TW; do
  start_language "$lang.UTF-8"
  installer
  out=$(drive state)
  if [ "$lang" = zh_CN ]; then
    expect "$out" "caption=安装配置" "ctl=1009|1|1|其它" "ctl=1010|1|0|设置成默认打印机" "ctl=3|1|0|检测USB端口" \
      "ctl=1|1|0|开始安装" "ctl=2|1|0|退出" "ctl=1016|1|0|RVT-520"
    want_box="box=请选择打印机类型" want_caption="boxcaption=票据打印机驱动安装"
    want_missing="box=在驱动包和 Windows 自带的打印机驱动中都找不到 UNIDRV.DLL。|没有安装任何内容。"
  else
    expect "$out" "caption=安裝配置" "ctl=1009|1|1|其它" "ctl=1010|1|0|設置成默認印表機" "ctl=3|1|0|檢測USB介面" \
      "ctl=1|1|0|開始安裝" "ctl=2|1|0|退出" "ctl=1016|1|0|RVT-520"
    want_box="box=請選擇一個印表機型號！" want_caption="boxcaption=票據印表機驅動安裝"
    want_missing="box=在驅動套件和 Windows 內建的印表機驅動程式中都找不到 UNIDRV.DLL。|沒有安裝任何內容。"
  fi
  screenshot "$shots/$lang-dialog.png"
  out=$(drive post 1 box)
  expect "$out" "$want_box" "$want_caption"
  screenshot "$shots/$lang-message.png"
  drive answer 1 >/dev/null
  # Nothing beside the program and nothing in Windows: 114 in the language.
  expect "$(drive click 1016 post 1 box)" "$want_missing"
  screenshot "$shots/$lang-generic-file-missing.png"
  drive answer 1 post 2 gone >/dev/null
  end_language
done

[ "$failures" -eq 0 ] && echo "$arch: the installer's dialogs, messages, test prints and wizard work under Wine (screenshots in $shots)"
exit "$failures"
