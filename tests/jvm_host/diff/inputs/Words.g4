grammar Words;

text : (word | number)* EOF ;
word : WORD ;
number : NUMBER ;

WORD : [a-z]+ ;
NUMBER : [0-9]+ ;
SPACE : [ \t\r\n]+ -> skip ;
