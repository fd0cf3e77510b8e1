// The prize desk's page: one HTML text with its style and script, for a 360-px phone (ES5,
// XMLHttpRequest). The desk's key, token and counter stay in the browser's storage, so the
// claim QR a camera app opens in the same browser finds the desk paired; every desk request
// is signed (SignScript). Texts go in through textContent only.
#include "core/claims/ClaimHttp.h"
#include "core/net/Http.h"
#include "core/net/SignScript.h"
#include "core/text/Gbk.h"

namespace claims {

namespace {

constexpr std::string_view kHead = R"page(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width,initial-scale=1">
<title>领奖台</title>
<style>
*{box-sizing:border-box}
body{margin:0;word-break:keep-all;overflow-wrap:anywhere;
font-family:"Noto Sans CJK SC","PingFang SC","Microsoft YaHei",sans-serif;
background:#12355b;color:#fff;font-size:17px;line-height:1.5}
main{max-width:480px;margin:0 auto;padding:14px}
h1{font-size:22px;margin:6px 0 2px;text-align:center;color:#ffd75e}
.task{text-align:center;margin:0 0 12px;color:#cfe0f5}
form,.card{background:#fff;color:#16263a;border-radius:12px;padding:14px;margin-bottom:12px}
label{display:block;font-weight:bold;margin:0 0 6px}
input{width:100%;font-size:20px;padding:10px;border:1px solid #8aa4c2;border-radius:8px}
button{width:100%;margin-top:12px;font-size:20px;padding:12px;border:0;border-radius:8px;
background:#1f6fd1;color:#fff;font-weight:bold}
button.claim{background:#d62b1e}
button:disabled{background:#9aa9ba}
#msg{min-height:28px;text-align:center;font-size:19px;font-weight:bold;margin-bottom:10px}
#msg.ok{color:#7dffa0}#msg.no{color:#ffb3a8}
.card .who{display:flex;gap:12px;align-items:center}
.card img{width:96px;height:96px;object-fit:cover;border-radius:8px;flex:none;background:#dde}
.card .name{font-size:24px;font-weight:bold}
.card .id{color:#4b5d73}
.card .item{font-size:20px;color:#b3150b;font-weight:bold;margin-top:6px}
.card .state{margin-top:6px;font-weight:bold;color:#4b5d73}
.card .state.done{color:#127a2c}
#desk{text-align:center;color:#cfe0f5;font-size:15px}
</style></head><body><main>
<h1>领奖台</h1>
)page";

constexpr std::string_view kBody = R"page(<div id="desk"></div>
<form id="pair" autocomplete="off" style="display:none">
<label for="code">领奖台配对码</label>
<input id="code" autocapitalize="characters" autocorrect="off" spellcheck="false"
maxlength="24" placeholder="XXXX XXXX XXXX XXXX" required>
<button type="submit">配对</button>
</form>
<form id="find" autocomplete="off" style="display:none">
<label for="q">领奖码、号码或姓名</label>
<input id="q" maxlength="32" required>
<button type="submit">查找</button>
</form>
<div id="msg" role="status"></div>
<div id="list"></div>
</main>
<script>
)page";

constexpr std::string_view kScript = R"page(
(function(){
var $=function(i){return document.getElementById(i);};
var S=Signed.Session("desk","desk-signed"),desk="";
try{desk=window.localStorage.getItem("desk-name")||"";}catch(e){}
function keep(){try{window.localStorage.setItem("desk-name",desk);}catch(e){}}
function arg(n){var m=new RegExp("[?&]"+n+"=([^&]*)").exec(window.location.search);
return m?decodeURIComponent(m[1]):"";}
function say(t,ok){var m=$("msg");m.textContent=t;m.className=ok?"ok":"no";}
// A desk request, signed; a desk no longer paired asks for a code again.
function ask(path,body,done){
  S.post(path,body,function(st,r){
    if(st===403&&r&&r.kind!=="wrongrole"){S.forget();show();}
    done(r,st);
  });
}
function show(){
  var on=S.paired();
  $("pair").style.display=on?"none":"block";
  $("find").style.display=on?"block":"none";
  $("desk").textContent=on?desk+" · 已配对":"";
}
function clear(){var l=$("list");while(l.firstChild)l.removeChild(l.firstChild);}
function el(tag,cls,text){var e=document.createElement(tag);if(cls)e.className=cls;
if(text!==undefined)e.textContent=text;return e;}
function card(p){
  var c=el("div","card"),who=el("div","who");
  if(p.photo){var img=el("img");img.alt="";img.src=p.photo;who.appendChild(img);}
  var t=el("div");t.appendChild(el("div","name",p.name||p.id));
  t.appendChild(el("div","id",p.id));who.appendChild(t);c.appendChild(who);
  c.appendChild(el("div","item",p.item));
  var s=el("div","state"+(p.claimed?" done":""),p.text);c.appendChild(s);
  var b=el("button","claim","确认领取");b.type="button";b.disabled=p.claimed;
  b.onclick=function(){
    b.disabled=true;say("正在记录…",true);
    ask("/desk/claim","i="+encodeURIComponent(p.id)+"&p="+p.p,function(r){
      if(!r){b.disabled=false;say("网络不通，请再试一次",false);return;}
      say(r.text,r.kind==="ok");
      if(r.prize){s.textContent=r.prize.text;s.className="state"+(r.prize.claimed?" done":"");
        b.disabled=r.prize.claimed;}else{b.disabled=false;}
    });
  };
  c.appendChild(b);
  return c;
}
function find(body){
  clear();say("正在查找…",true);
  ask("/desk/find",body,function(r){
    if(!r){say("网络不通，请再试一次",false);return;}
    if(r.kind!=="found"){say(r.text,false);return;}
    say(r.prizes.length>1?"找到 "+r.prizes.length+" 个奖项":"",true);
    for(var i=0;i<r.prizes.length;i++)$("list").appendChild(card(r.prizes[i]));
  });
}
function pair(key){
  say("正在配对…",true);
  S.pair("/desk/pair",key,function(st,r){
    if(!r){say("网络不通，请再试一次",false);return;}
    if(r.kind!=="ok"){say(r.text,false);return;}
    desk=r.desk;keep();show();say(r.text+"："+desk,true);
    if(arg("c"))find("c="+encodeURIComponent(arg("c")));
  });
}
$("pair").onsubmit=function(ev){
  ev.preventDefault();
  var code=Signed.codeOf($("code").value);
  if(!code){say("配对码是16位字母和数字（操作电脑上显示的4组），请核对",false);return;}
  say("正在配对…",true);
  setTimeout(function(){pair(Signed.keyOf(code));},30);
};
$("find").onsubmit=function(ev){
  ev.preventDefault();
  find("q="+encodeURIComponent($("q").value));
};
show();
var key=Signed.keyFromHash();
if(key)pair(key);
else if(S.paired()&&arg("c"))find("c="+encodeURIComponent(arg("c")));
else if(!S.paired()&&arg("c"))say("请先扫描领奖台配对二维码或输入配对码",false);
})();
</script></body></html>
)page";

}  // namespace

std::string DeskPage(std::string_view taskNameGbk) {
  std::string page(kHead);
  page += "<p class=\"task\">" + net::HtmlEscape(text::GbkToUtf8(taskNameGbk)) + "</p>\n";
  page += kBody;
  page += net::SignScript();
  page += kScript;
  return page;
}

}  // namespace claims
