// The phone's page: one HTML text with its style and script, readable on a 360-px screen
// and in the chat apps' browsers (ES5, XMLHttpRequest). Every text the script shows goes
// in through textContent, never as markup.
#include "core/checkin/CheckinHttp.h"
#include "core/text/Gbk.h"

namespace checkin {

namespace {

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width,initial-scale=1">
<title>扫码签到</title>
<style>
*{box-sizing:border-box}
body{margin:0;word-break:keep-all;overflow-wrap:anywhere;
font-family:"Noto Sans CJK SC","PingFang SC","Microsoft YaHei",sans-serif;
background:#7a0d0d;color:#fff4d6;font-size:17px;line-height:1.5}
main{max-width:480px;margin:0 auto;padding:16px;display:flex;flex-direction:column}
h1{order:0}.task{order:1}#me{order:2}#prize{order:2}#done{order:3}#f{order:5}section{order:6}
#count{order:7}
.closed section{order:4}
h1{font-size:24px;margin:8px 0 4px;text-align:center;color:#ffd75e}
.task{text-align:center;margin:0 0 14px}
form,section{background:#fffaf0;color:#3a1a00;border-radius:12px;padding:16px;margin-bottom:14px}
label{display:block;font-weight:bold;margin:6px 0 4px}
input{width:100%;font-size:20px;padding:10px;border:1px solid #c9a36a;border-radius:8px}
button{width:100%;margin-top:14px;font-size:20px;padding:12px;border:0;border-radius:8px;
background:#d62b1e;color:#fff;font-weight:bold}
button:disabled{background:#b48b86}
#answer{margin-top:12px;font-size:20px;font-weight:bold;text-align:center;min-height:30px}
#answer.ok{color:#127a2c}#answer.no{color:#b3150b}
#done{display:none;background:#fffaf0;color:#127a2c;font-size:20px;font-weight:bold;
text-align:center;border-radius:12px;padding:12px;margin-bottom:14px}
#me{display:none;background:#ffd75e;color:#7a0d0d;font-size:24px;font-weight:bold;
text-align:center;border-radius:12px;padding:16px;margin-bottom:14px}
#prize{display:none;background:#fffaf0;color:#3a1a00;border-radius:12px;padding:14px;
margin-bottom:14px;text-align:center}
#prize .item{font-size:20px;font-weight:bold;color:#b3150b}
#prize .code{font-size:30px;font-weight:bold;letter-spacing:2px;font-family:monospace}
#prize canvas{display:block;margin:6px auto}
#prize .state{font-size:18px;font-weight:bold;color:#8a6a4a}
#prize .done{font-size:26px;color:#127a2c}
#prize .p+.p{border-top:1px dashed #c9a36a;margin-top:10px;padding-top:10px}
h2{font-size:19px;margin:0 0 8px;color:#b3150b}
#lines div{padding:2px 0;font-family:monospace,"Noto Sans CJK SC"}
#lines div.c{font-weight:bold;margin-top:8px;font-family:inherit}
.muted{color:#8a6a4a;font-size:15px}
#count{text-align:center;font-size:15px;color:#ffe9b0}
</style></head><body><main>
<h1>扫码签到</h1>
)";

constexpr std::string_view kFormStart = R"(<div id="me"></div>
<div id="prize"></div>
<div id="done" role="status"></div>
<form id="f" autocomplete="off">
)";

constexpr std::string_view kNameField = R"(<label for="name">姓名</label>
<input id="name" name="name" maxlength="32" required>
)";

constexpr std::string_view kTail = R"(<button id="go" type="submit">签到</button>
<div id="answer" role="status"></div>
</form>
<section id="board"><h2>中奖名单</h2><div id="lines"><div class="muted">尚未开奖</div></div></section>
<div id="count"></div>
</main>
<script>
(function(){
var $=function(i){return document.getElementById(i);};
var token="",here=false;
try{token=window.localStorage.getItem("checkin-token")||"";}catch(e){}
function post(path,body,done){
  var x=new XMLHttpRequest();
  x.open("POST",path,true);
  x.setRequestHeader("Content-Type","application/x-www-form-urlencoded");
  x.timeout=8000;
  x.onreadystatechange=function(){
    if(x.readyState!==4)return;
    var r=null;
    if(x.status===200){try{r=JSON.parse(x.responseText);}catch(e){}}
    done(r);
  };
  x.send(body);
}
function show(text,ok){var a=$("answer");a.textContent=text;a.className=ok?"ok":"no";}
$("f").onsubmit=function(ev){
  ev.preventDefault();
  var body="id="+encodeURIComponent($("id").value);
  if($("name"))body+="&name="+encodeURIComponent($("name").value);
  $("go").disabled=true;
  show("正在签到…",true);
  post("/checkin",body,function(r){
    $("go").disabled=false;
    if(!r){show("网络不通，请再试一次",false);return;}
    if(r.kind==="ok"){
      show(r.text+(r.name?"，"+r.name:""),true);
      token=r.token;
      here=true;
      try{window.localStorage.setItem("checkin-token",token);}catch(e){}
      poll();
    }else{show(r.text,false);}
  });
};
// A winner's prizes: each one's claim code and its QR for the desk, then 已领取.
var prizeBusy=false,prizeAt=0;
function prizes(){
  var now=new Date().getTime();
  if(prizeBusy||now-prizeAt<3000)return;
  prizeBusy=true;prizeAt=now;
  post("/prize","t="+encodeURIComponent(token),function(r){
    prizeBusy=false;
    if(!r||!r.prizes)return;
    var box=$("prize");
    while(box.firstChild)box.removeChild(box.firstChild);
    for(var i=0;i<r.prizes.length;i++){
      var p=r.prizes[i],d=document.createElement("div");d.className="p";
      var t=document.createElement("div");t.className="item";t.textContent=p.item;d.appendChild(t);
      if(p.claimed){
        var k=document.createElement("div");k.className="done";k.textContent=p.text;
        d.appendChild(k);
      }else{
        var c=document.createElement("div");c.className="code";c.textContent=p.code;
        d.appendChild(c);
        var g=document.createElement("canvas");
        if(p.qr&&g.getContext){
          // Whole pixels a module and the quiet zone of four: a camera reads it at once.
          var k=Math.max(3,Math.floor(220/(p.qs+8))),x=g.getContext("2d");
          g.width=g.height=(p.qs+8)*k;
          x.fillStyle="#fff";x.fillRect(0,0,g.width,g.height);x.fillStyle="#000";
          for(var j=0;j<p.qr.length;j++)
            if(p.qr.charAt(j)==="1")x.fillRect((j%p.qs+4)*k,(Math.floor(j/p.qs)+4)*k,k,k);
          d.appendChild(g);
        }
        var s=document.createElement("div");s.className="state";s.textContent=p.text;
        d.appendChild(s);
      }
      box.appendChild(d);
    }
    box.style.display=r.prizes.length?"block":"none";
  });
}
var busy=false;
function poll(){
  if(busy)return;
  busy=true;
  post("/winners","t="+encodeURIComponent(token),function(r){
    busy=false;
    if(!r)return;
    var box=$("lines");
    while(box.firstChild)box.removeChild(box.firstChild);
    if(!r.lines.length){var m=document.createElement("div");m.className="muted";
      m.textContent="尚未开奖";box.appendChild(m);}
    for(var i=0;i<r.lines.length;i++){
      var d=document.createElement("div");
      if(r.lines[i].c)d.className="c";
      d.textContent=r.lines[i].t;
      box.appendChild(d);
    }
    var me=$("me");
    me.textContent=r.me;
    me.style.display=r.me?"block":"none";
    if(r.me)prizes();
    // A page opened again after its check-in says so instead of an empty form.
    if(r["in"]&&!here){
      $("done").textContent="已签到："+r["in"];
      $("done").style.display="block";
      $("f").style.display="none";
    }
    // Once the draw closed check-in the winners come first, and an old refusal goes; the
    // answer that check-in has ended stays, whichever of the two came first.
    var main=document.getElementsByTagName("main")[0];
    if(!r.open&&main.className!=="closed"){
      main.className="closed";
      var a=$("answer");
      if(a.className==="no"&&a.textContent!=="签到已结束")show("",true);
    }else if(r.open&&main.className==="closed"){main.className="";}
    $("count").textContent="已签到 "+r.count+" / "+r.total+(r.open?"":" · 签到已结束");
  });
}
poll();
setInterval(poll,1000);
})();
</script></body></html>
)";

}  // namespace

std::string CheckinPage(std::string_view taskNameGbk, bool askName, std::string_view idTitleGbk,
                        bool numericIds) {
  std::string page(kHead);
  page += "<p class=\"task\">" + HtmlEscape(text::GbkToUtf8(taskNameGbk)) + "</p>\n";
  page += kFormStart;
  const std::string idTitle = idTitleGbk.empty() ? "号码" : text::GbkToUtf8(idTitleGbk);
  page += "<label for=\"id\">" + HtmlEscape(idTitle) + "</label>\n";
  page += "<input id=\"id\" name=\"id\" maxlength=\"32\" inputmode=\"";
  page += numericIds ? "numeric" : "text";
  page += "\" required>\n";
  if (askName) page += kNameField;
  page += kTail;
  return page;
}

}  // namespace checkin
