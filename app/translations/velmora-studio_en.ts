<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>MainWindow</name>
    <message>
        <source>現在のテクスチャ画像解像度=%1x%2</source>
        <translation>Current texture resolution=%1x%2</translation>
    </message>
    <message>
        <source>テクスチャ画像なし</source>
        <translation>No texture</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は整数ではありません</source>
        <translation>&apos;%1&apos; is not an integer</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は浮動小数点数ではありません</source>
        <translation>&apos;%1&apos; is not a floating-point number</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾊﾟﾃｨ %1 の範囲を超えています</source>
        <translation>Property %1 is out of range</translation>
    </message>
    <message>
        <source>べるもら設定ファイル</source>
        <translation>Velmora project file</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>%1 を開けませんでした: %2</source>
        <translation>Could not open %1: %2</translation>
    </message>
    <message>
        <source>%1 行目</source>
        <translation>line %1</translation>
    </message>
    <message>
        <source>最初の文の前</source>
        <translation>before its first statement</translation>
    </message>
    <message>
        <source>(エラーの説明なし)</source>
        <translation>(no error text)</translation>
    </message>
    <message>
        <source> (%1 ステップを使い切りました。終わらないループでは?)</source>
        <translation> (%1 steps spent: a loop that does not end?)</translation>
    </message>
    <message>
        <source>%1 の %2 で実行が止まりました: %3
ファイルの残りは実行されませんでした。</source>
        <translation>%1 stopped at %2: %3
The rest of the file was not run.</translation>
    </message>
    <message>
        <source>%1 を保存できませんでした: %2</source>
        <translation>Could not save %1: %2</translation>
    </message>
    <message>
        <source>上書き保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>名前を付けて保存</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>簡易雲模様動画生成～べるもら～</source>
        <translation>Simple cloud pattern movie maker - Velmora</translation>
    </message>
    <message>
        <source>プレビュー画面です</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>自動更新</source>
        <translation>Auto update</translation>
    </message>
    <message>
        <source>プレビュー画面を自動更新します。ＣＰＵパワーがないと操作しにくくなります</source>
        <translation>Updates the preview automatically. Without enough CPU power the controls become sluggish</translation>
    </message>
    <message>
        <source>再描画</source>
        <translation>Redraw</translation>
    </message>
    <message>
        <source>カラーフィルタの状態です。上のグラデーションをしたのグラデーションに置き換えます</source>
        <translation>The colour filter: the gradient on top is replaced by the gradient below</translation>
    </message>
    <message>
        <source>雲模様</source>
        <translation>Clouds</translation>
    </message>
    <message>
        <source>ランダムシード</source>
        <translation>Random seed</translation>
    </message>
    <message>
        <source>明るさ</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>複雑さ</source>
        <translation>Complexity</translation>
    </message>
    <message>
        <source>雲の量</source>
        <translation>Coverage</translation>
    </message>
    <message>
        <source>最小サイズ</source>
        <translation>Min size</translation>
    </message>
    <message>
        <source>最大サイズ</source>
        <translation>Max size</translation>
    </message>
    <message>
        <source>ノイズ</source>
        <translation>Noise</translation>
    </message>
    <message>
        <source>中央寄せ</source>
        <translation>Centre bias</translation>
    </message>
    <message>
        <source>中心分布反転</source>
        <translation>Reverse centre bias</translation>
    </message>
    <message>
        <source>明るさをクリップ</source>
        <translation>Clip brightness</translation>
    </message>
    <message>
        <source>雲模様の位置。小数部のみ意味をもち、画面端はループ。</source>
        <translation>Position of the clouds. Only the fractional part matters; the edges wrap around.</translation>
    </message>
    <message>
        <source>雲位置 X Y</source>
        <translation>Position X Y</translation>
    </message>
    <message>
        <source>進行状況</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>歪み</source>
        <translation>Warp</translation>
    </message>
    <message>
        <source>Ｘ方向歪み</source>
        <translation>Warp X</translation>
    </message>
    <message>
        <source>Ｙ方向歪み</source>
        <translation>Warp Y</translation>
    </message>
    <message>
        <source>歪1位置</source>
        <translation>Warp 1 pos.</translation>
    </message>
    <message>
        <source>歪2位置</source>
        <translation>Warp 2 pos.</translation>
    </message>
    <message>
        <source>カラーフィルタ</source>
        <translation>Colour filter</translation>
    </message>
    <message>
        <source>開始色</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>終了色</source>
        <translation>End</translation>
    </message>
    <message>
        <source>赤勾配</source>
        <translation>Red slope</translation>
    </message>
    <message>
        <source>緑勾配</source>
        <translation>Green slope</translation>
    </message>
    <message>
        <source>青勾配</source>
        <translation>Blue slope</translation>
    </message>
    <message>
        <source>α勾配</source>
        <translation>Alpha slope</translation>
    </message>
    <message>
        <source>勾配リセット</source>
        <translation>Reset gradient</translation>
    </message>
    <message>
        <source>ぼかし</source>
        <translation>Blur</translation>
    </message>
    <message>
        <source>画面幅を１とするぼかし半径</source>
        <translation>Blur radius, image width = 1</translation>
    </message>
    <message>
        <source>ぼかしサンプル数（整数）。数に比例して処理は重くなる</source>
        <translation>Number of blur samples (integer). Processing time grows in proportion</translation>
    </message>
    <message>
        <source>ドラフト</source>
        <translation>Draft</translation>
    </message>
    <message>
        <source>半径</source>
        <translation>Radius</translation>
    </message>
    <message>
        <source>サンプル数</source>
        <translation>Samples</translation>
    </message>
    <message>
        <source>ブラシ勾配</source>
        <translation>Brush slope</translation>
    </message>
    <message>
        <source>回転 X Y Z</source>
        <translation>Rotation X Y Z</translation>
    </message>
    <message>
        <source>テクスチャ</source>
        <translation>Texture</translation>
    </message>
    <message>
        <source>加法混色</source>
        <translation>Additive</translation>
    </message>
    <message>
        <source>中間混色</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>減法混色</source>
        <translation>Subtractive</translation>
    </message>
    <message>
        <source>テクスチャ画像の上に合成</source>
        <translation>Compose over the texture image</translation>
    </message>
    <message>
        <source>テクスチャ画像表示</source>
        <translation>Show texture</translation>
    </message>
    <message>
        <source>出力</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>雲画像の幅(ピクセル）です。もちろん整数</source>
        <translation>Width of the cloud picture in pixels. An integer, of course</translation>
    </message>
    <message>
        <source>オーバーサンプリング倍率。当然整数&#x3000;１以下はオーバーサンプリング無し。</source>
        <translation>Oversampling factor. An integer; 1 or less means no oversampling.</translation>
    </message>
    <message>
        <source>解像度</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>参照</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>動画</source>
        <translation>Movie</translation>
    </message>
    <message>
        <source>α動画</source>
        <translation>Alpha movie</translation>
    </message>
    <message>
        <source>現在のフレームから作画</source>
        <translation>Render from the current frame</translation>
    </message>
    <message>
        <source>画像として保存...</source>
        <translation>Save picture...</translation>
    </message>
    <message>
        <source>動画として保存...</source>
        <translation>Save movie...</translation>
    </message>
    <message>
        <source>時間軸</source>
        <translation>Timeline</translation>
    </message>
    <message>
        <source>現在フレーム</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>最終フレーム</source>
        <translation>Last frame</translation>
    </message>
    <message>
        <source>前のキーを含む時刻へ</source>
        <translation>Previous key</translation>
    </message>
    <message>
        <source>次のキーを含む時刻へ</source>
        <translation>Next key</translation>
    </message>
    <message>
        <source>現在全要素のキー削除</source>
        <translation>Delete keys here</translation>
    </message>
    <message>
        <source>現在全要素にキーを作成</source>
        <translation>Key everything here</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>終了します</source>
        <translation>Quits the program</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>設定をキャンセルします</source>
        <translation>Cancels the settings</translation>
    </message>
    <message>
        <source>全体進行</source>
        <translation>Movie</translation>
    </message>
    <message>
        <source>フレーム内進行</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>倍率</source>
        <translation>Factor</translation>
    </message>
    <message>
        <source>作画中止（動画ファイルは作画が完了したフレームまで正常に出力されます。多分）</source>
        <translation>Abort (the frames finished so far are kept in a playable movie)</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新規作成(&amp;N)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>開く(&amp;O)</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>上書き保存(&amp;O)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>サンプル(&amp;E)</source>
        <translation>&amp;Examples</translation>
    </message>
    <message>
        <source>テクスチャ画像を開く...</source>
        <translation>Open texture image...</translation>
    </message>
    <message>
        <source>テクスチャ画像を外す</source>
        <translation>Remove texture image</translation>
    </message>
    <message>
        <source>テクスチャ画像を開く</source>
        <translation>Open texture image</translation>
    </message>
    <message>
        <source>テクスチャ画像を開けませんでした。</source>
        <translation>The texture image could not be opened.</translation>
    </message>
    <message>
        <source>画像ファイル</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>一覧にない拡張子の名前はビットマップ（BMP）で保存します</source>
        <translation>A name whose extension is not listed is saved as a bitmap (BMP)</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>JPEG出力設定(&amp;J)</source>
        <translation>&amp;JPEG output...</translation>
    </message>
    <message>
        <source>AVI出力設定(&amp;A)</source>
        <translation>&amp;AVI output...</translation>
    </message>
    <message>
        <source>最近使ったプロジェクト(&amp;R)</source>
        <translation>&amp;Recent Projects</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>%1 への変更を保存しますか?</source>
        <translation>Save the changes to %1?</translation>
    </message>
    <message>
        <source>（なし）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>0〜255 の色の値</source>
        <translation>colour value 0 to 255</translation>
    </message>
    <message>
        <source>画像の幅 = 1</source>
        <translation>image width = 1</translation>
    </message>
    <message>
        <source>画像の高さ = 1</source>
        <translation>image height = 1</translation>
    </message>
    <message>
        <source>度</source>
        <translation>degrees</translation>
    </message>
    <message>
        <source>ピクセル</source>
        <translation>pixels</translation>
    </message>
    <message>
        <source>フレーム</source>
        <translation>frames</translation>
    </message>
    <message>
        <source>単位: %1</source>
        <translation>Unit: %1</translation>
    </message>
    <message>
        <source>範囲: 制限なし</source>
        <translation>Range: unlimited</translation>
    </message>
    <message>
        <source>範囲: %1〜%2（%3 刻み）</source>
        <translation>Range: %1 to %2 in steps of %3</translation>
    </message>
    <message>
        <source>範囲: %1〜%2</source>
        <translation>Range: %1 to %2</translation>
    </message>
    <message>
        <source>カラーフィルタの開始色（クリックで色を選ぶ）</source>
        <translation>Start colour of the colour filter (click to choose a colour)</translation>
    </message>
    <message>
        <source>カラーフィルタの終了色（クリックで色を選ぶ）</source>
        <translation>End colour of the colour filter (click to choose a colour)</translation>
    </message>
    <message>
        <source>描画エンジンのバッファの表示です（プレビューには戻りません。再描画で元に戻ります）</source>
        <translation>Shows one of the render engine's buffers in place of the preview (Redraw brings the preview back)</translation>
    </message>
    <message>
        <source>雲のスタンプに使うペン</source>
        <translation>The pen that stamps the clouds</translation>
    </message>
    <message>
        <source>歪みパターンのペン（赤）</source>
        <translation>The warp pattern's pen (red)</translation>
    </message>
    <message>
        <source>歪みパターンのペン（緑）</source>
        <translation>The warp pattern's pen (green)</translation>
    </message>
    <message>
        <source>歪みパターンのペン（青）</source>
        <translation>The warp pattern's pen (blue)</translation>
    </message>
    <message>
        <source>歪める前の雲の基本パターン</source>
        <translation>The cloud's base pattern before the warp</translation>
    </message>
    <message>
        <source>歪みのテンプレート</source>
        <translation>The warp template</translation>
    </message>
    <message>
        <source>テクスチャ画像と合成した雲をプレビューに表示します（書き出しは常に合成します）</source>
        <translation>Shows the clouds mixed with the texture image in the preview (exports always mix them)</translation>
    </message>
    <message>
        <source>雲をテクスチャに加えて合成します</source>
        <translation>Adds the clouds to the texture</translation>
    </message>
    <message>
        <source>雲をテクスチャから引いて合成します</source>
        <translation>Subtracts the clouds from the texture</translation>
    </message>
    <message>
        <source>雲とテクスチャの中間の色で合成します</source>
        <translation>Mixes the clouds and the texture half and half</translation>
    </message>
    <message>
        <source>雲をテクスチャ画像の上に重ねます</source>
        <translation>Puts the clouds over the texture picture</translation>
    </message>
    <message>
        <source>勾配と透明度を 0 に、開始色を黒、終了色を白に戻します</source>
        <translation>Sets the slopes and alphas back to 0, the start colour to black and the end colour to white</translation>
    </message>
    <message>
        <source>現在のフレームのプレビューを描き直します</source>
        <translation>Renders the preview of the current frame again</translation>
    </message>
    <message>
        <source>どれかの要素にキーがある、前の時刻へ移動します</source>
        <translation>Goes back to the previous frame where a parameter has a key</translation>
    </message>
    <message>
        <source>どれかの要素にキーがある、次の時刻へ移動します</source>
        <translation>Goes on to the next frame where a parameter has a key</translation>
    </message>
    <message>
        <source>現在の時刻にある全要素のキーを削除します</source>
        <translation>Deletes the keys of every parameter at the current frame</translation>
    </message>
    <message>
        <source>現在の時刻に全要素のキーを作成します</source>
        <translation>Keys every parameter at the current frame</translation>
    </message>
    <message>
        <source>出力する動画ファイルを選びます</source>
        <translation>Chooses the movie file to write</translation>
    </message>
    <message>
        <source>出力するα動画ファイルを選びます</source>
        <translation>Chooses the alpha movie file to write</translation>
    </message>
    <message>
        <source>現在のフレームを画像として保存します</source>
        <translation>Saves the current frame as a picture</translation>
    </message>
    <message>
        <source>時間軸の全フレームを動画として保存します</source>
        <translation>Saves every frame of the timeline as a movie</translation>
    </message>
    <message>
        <source>動画の作画を次のフレームの前で止めます</source>
        <translation>Stops the movie before its next frame</translation>
    </message>
    <message>
        <source>自動更新の設定を保存せずに終了します。未保存の変更があれば保存するか確かめます</source>
        <translation>Quits without storing the automatic update switch; asks first whether to save unsaved changes</translation>
    </message>
    <message>
        <source>ぼかしの進行</source>
        <translation>Blur progress</translation>
    </message>
    <message>
        <source>ぼかしブラシの形です</source>
        <translation>The shape of the blur brush</translation>
    </message>
</context>
</TS>
