<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AviOptionsDialog</name>
    <message>
        <source>非圧縮 (24 ビット RGB)</source>
        <translation>Uncompressed (24-bit RGB)</translation>
    </message>
    <message>
        <source>Motion JPEG</source>
        <translation>Motion JPEG</translation>
    </message>
    <message>
        <source>FFV1 (可逆圧縮)</source>
        <translation>FFV1 (lossless)</translation>
    </message>
    <message>
        <source>H.264</source>
        <translation>H.264</translation>
    </message>
    <message>
        <source>MPEG-4 Part 2 (Xvid 互換)</source>
        <translation>MPEG-4 Part 2 (Xvid compatible)</translation>
    </message>
    <message>
        <source>ビデオの圧縮</source>
        <translation>Video Compression</translation>
    </message>
    <message>
        <source>キー フレーム(&amp;K)</source>
        <translation>&amp;Key frame every</translation>
    </message>
    <message>
        <source>データ レート(&amp;D)</source>
        <translation>&amp;Data rate</translation>
    </message>
    <message>
        <source>圧縮プログラム(&amp;C):</source>
        <translation>&amp;Compressor:</translation>
    </message>
    <message>
        <source>圧縮の品質(&amp;Q):</source>
        <translation>Compression &amp;quality:</translation>
    </message>
    <message>
        <source>フレームごと</source>
        <translation>frames</translation>
    </message>
    <message>
        <source>KB/秒</source>
        <translation>KB/s</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>設定ファイルに保存できませんでした。</source>
        <translation>The settings file could not be written.</translation>
    </message>
</context>
<context>
    <name>MovieOptionsDialog</name>
    <message>
        <source>動画の圧縮</source>
        <translation>Movie compression</translation>
    </message>
    <message>
        <source>圧縮プログラム(&amp;C):</source>
        <translation>&amp;Compressor:</translation>
    </message>
    <message>
        <source>圧縮の品質(&amp;Q):</source>
        <translation>Compression &amp;quality:</translation>
    </message>
</context>
<context>
    <name>MoviePreviewWindow</name>
    <message>
        <source>再生</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>一時停止</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>コマ送り</source>
        <translation>Step forward</translation>
    </message>
    <message>
        <source>コマ戻し</source>
        <translation>Step back</translation>
    </message>
    <message>
        <source>この動画は再生できません。</source>
        <translation>This movie cannot be played.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>雲模様を作画し保存します。</source>
        <translation>Render and save the cloud pattern</translation>
    </message>
    <message>
        <source>すべてのﾌｧｲﾙ (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ</source>
        <translation>Bitmap</translation>
    </message>
    <message>
        <source>JPegイメージ</source>
        <translation>JPEG image</translation>
    </message>
    <message>
        <source>画像の保存は終了しました</source>
        <translation>The picture has been saved.</translation>
    </message>
    <message>
        <source>画像を保存できませんでした。</source>
        <translation>The picture could not be saved.</translation>
    </message>
    <message>
        <source>動画の保存中に問題がありました。</source>
        <translation>There were problems while saving the movie.</translation>
    </message>
    <message>
        <source>動画の保存は終了しました</source>
        <translation>The movie has been saved.</translation>
    </message>
    <message>
        <source>VideoForWindows</source>
        <translation>AVI movie</translation>
    </message>
    <message>
        <source>MP4動画</source>
        <translation>MP4 movie</translation>
    </message>
    <message>
        <source>Matroska動画</source>
        <translation>Matroska movie</translation>
    </message>
    <message>
        <source>WebM動画</source>
        <translation>WebM movie</translation>
    </message>
    <message>
        <source>QuickTime動画</source>
        <translation>QuickTime movie</translation>
    </message>
    <message>
        <source>アニメーションWebP</source>
        <translation>Animated WebP</translation>
    </message>
    <message>
        <source>アニメーションGIF</source>
        <translation>Animated GIF</translation>
    </message>
    <message>
        <source>アニメーションPNG</source>
        <translation>Animated PNG</translation>
    </message>
    <message>
        <source>非圧縮ビットマップ(連番）</source>
        <translation>Uncompressed bitmaps, numbered</translation>
    </message>
    <message>
        <source>JPEG画像（連番）</source>
        <translation>JPEG pictures, numbered</translation>
    </message>
    <message>
        <source>PNGイメージ</source>
        <translation>PNG image</translation>
    </message>
    <message>
        <source>TIFFイメージ</source>
        <translation>TIFF image</translation>
    </message>
    <message>
        <source>PNG画像（連番）</source>
        <translation>PNG pictures, numbered</translation>
    </message>
    <message>
        <source>TIFF画像（連番）</source>
        <translation>TIFF pictures, numbered</translation>
    </message>
    <message>
        <source>OpenEXRイメージ</source>
        <translation>OpenEXR image</translation>
    </message>
    <message>
        <source>OpenEXR画像（連番）</source>
        <translation>OpenEXR pictures, numbered</translation>
    </message>
</context>
<context>
    <name>JpegQualityDialog</name>
    <message>
        <source>JPEG圧縮率の指定</source>
        <translation>JPEG Quality</translation>
    </message>
    <message>
        <source>低品質高圧縮省サイズ</source>
        <translation>Low quality, small file</translation>
    </message>
    <message>
        <source>高品質低圧縮大サイズ</source>
        <translation>High quality, large file</translation>
    </message>
    <message>
        <source>圧縮率と品質のトレードオフを指定します。</source>
        <translation>Sets the trade-off between file size and picture quality.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>設定ファイルに保存できませんでした。</source>
        <translation>The settings file could not be written.</translation>
    </message>
</context>
<context>
    <name>StillOptionsPanel</name>
    <message>
        <source>16ビットと浮動小数点の画像は、8ビットに丸めない高精度の作画から作ります</source>
        <translation>16-bit and float pictures come from the high-precision render, which does not round to 8 bits</translation>
    </message>
    <message>
        <source>画像</source>
        <translation>Picture</translation>
    </message>
    <message>
        <source>高さマップ</source>
        <translation>Height map</translation>
    </message>
    <message>
        <source>法線マップ</source>
        <translation>Normal map</translation>
    </message>
    <message>
        <source>高さマップは色とぼかしの前の灰色の雲、法線マップはそこから作るタイル可能な法線です</source>
        <translation>The height map is the grey cloud before colour and blur; the normal map, derived from it, tiles</translation>
    </message>
    <message>
        <source>黒から白までで、面が画像の幅の 1/16 のこの倍数だけ高くなります</source>
        <translation>From black to white the surface rises by this many sixteenths of the picture width</translation>
    </message>
    <message>
        <source>アルファチャンネルも保存する（PNG・TIFF・OpenEXR）</source>
        <translation>Save the alpha channel too (PNG, TIFF, OpenEXR)</translation>
    </message>
    <message>
        <source>深さ</source>
        <translation>Depth</translation>
    </message>
    <message>
        <source>保存する内容</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>法線の強さ</source>
        <translation>Normal strength</translation>
    </message>
    <message>
        <source>形式: %1</source>
        <translation>Format: %1</translation>
    </message>
    <message>
        <source>8ビット</source>
        <translation>8-bit</translation>
    </message>
    <message>
        <source>16ビット</source>
        <translation>16-bit</translation>
    </message>
    <message>
        <source>浮動小数点</source>
        <translation>Float</translation>
    </message>
</context>
</TS>
